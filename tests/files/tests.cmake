# The killed-writer test kills a program of its own, kept out of the test
# binary, while it rewrites a file.
get_target_property(corvel_test_sources_now corvel_tests SOURCES)
list(FILTER corvel_test_sources_now EXCLUDE REGEX "/tests/files/killed_writer\\.cpp$")
set_target_properties(corvel_tests PROPERTIES SOURCES "${corvel_test_sources_now}")
add_executable(corvel-killed-writer ${CMAKE_CURRENT_LIST_DIR}/killed_writer.cpp)
target_link_libraries(corvel-killed-writer PRIVATE corvel_core)
target_include_directories(corvel-killed-writer PRIVATE ${CMAKE_SOURCE_DIR}/tests)
add_dependencies(corvel_tests corvel-killed-writer)
target_compile_definitions(corvel_tests PRIVATE CORVEL_KILLED_WRITER="$<TARGET_FILE:corvel-killed-writer>")

# Save places, signals, the periodic battery write and failed opens, through
# the headless tool; as an unprivileged user when the tests run as root.
set(corvel_install_build "")
if(CORVEL_INSTALL_RULES)
  set(corvel_install_build ${CMAKE_BINARY_DIR})
endif()
add_test(NAME files_through_the_tool
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/files_test.sh $<TARGET_FILE:corvel-headless> ${CORVEL_CARTRIDGE_DIR}
    ${corvel_install_build})
set_tests_properties(files_through_the_tool PROPERTIES TIMEOUT 300)
