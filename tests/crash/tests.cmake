# The crash-safety test kills a looping writer (a program of its own, kept out
# of the unit-test binary) while it rewrites a file.
get_target_property(corvel_test_sources_now corvel_tests SOURCES)
list(FILTER corvel_test_sources_now EXCLUDE REGEX "/tests/crash/crash_writer\\.cpp$")
set_target_properties(corvel_tests PROPERTIES SOURCES "${corvel_test_sources_now}")

add_executable(corvel-crash-writer ${CMAKE_SOURCE_DIR}/tests/crash/crash_writer.cpp)
target_link_libraries(corvel-crash-writer PRIVATE corvel_core)
target_include_directories(corvel-crash-writer PRIVATE ${CMAKE_SOURCE_DIR}/tests)
add_dependencies(corvel_tests corvel-crash-writer)
target_compile_definitions(corvel_tests PRIVATE CORVEL_CRASH_WRITER="$<TARGET_FILE:corvel-crash-writer>")
