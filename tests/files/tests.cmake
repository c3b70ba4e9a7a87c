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
