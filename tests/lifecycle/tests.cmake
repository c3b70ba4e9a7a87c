# The resume cartridge passes on its own after 120 frames; the headless
# save-state tests rely on that.
corvel_cartridge_test(lifecycle_resume 200)

# A program that writes its result within the first frame.
corvel_cartridge_test(result_first_frame 1)

# Save places, signals, the periodic battery write and failed opens, through
# the headless tool; run as an unprivileged user when the tests run as root.
set(corvel_install_build "")
if(CORVEL_INSTALL_RULES)
  set(corvel_install_build ${CMAKE_BINARY_DIR})
endif()
add_test(NAME lifecycle_files
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/files_test.sh $<TARGET_FILE:corvel-headless> ${CORVEL_CARTRIDGE_DIR}
    ${corvel_install_build})
set_tests_properties(lifecycle_files PROPERTIES TIMEOUT 300)
