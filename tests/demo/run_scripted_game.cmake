# Plays the demo for 4000 frames from a fresh battery file with the scripted
# input; passes when the tool exits 0 and the battery file holds the game's
# signature and a high score above zero.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY ${IMAGE} DESTINATION ${WORK})
execute_process(
  COMMAND ${HEADLESS} --frames 4000 --input ${SCRIPT} ${WORK}/demo.nes
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "corvel-headless exited with ${status}")
endif()
file(READ ${WORK}/demo.sav header LIMIT 32 HEX)
string(SUBSTRING "${header}" 0 12 signature)
if(NOT signature STREQUAL "434f5256454c")  # "CORVEL"
  message(FATAL_ERROR "no record in the battery file: ${header}")
endif()
string(SUBSTRING "${header}" 32 12 digits)  # $10-$15: the high score
if(digits STREQUAL "000000000000")
  message(FATAL_ERROR "the high score stayed at zero: ${header}")
endif()
