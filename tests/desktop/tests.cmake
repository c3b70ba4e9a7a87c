# The desktop shell under a private X server; needs the corvel executable
# (not built in the sanitizer configuration).
if(TARGET corvel)
  add_test(NAME desktop_shell
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/desktop_test.sh $<TARGET_FILE:corvel> ${CORVEL_CARTRIDGE_DIR})
  set_tests_properties(desktop_shell PROPERTIES LABELS desktop TIMEOUT 240)
endif()
