# Plays the demo for 2700 frames from a fresh battery file with the scripted
# input: a first game that the bats end, the title screen, a second game.
# Passes when the tool exits 0 and the battery file holds the game's
# signature, a high score above zero and two games started.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY ${IMAGE} DESTINATION ${WORK})
execute_process(
  COMMAND ${HEADLESS} --frames 2700 --input ${SCRIPT} ${WORK}/demo.nes
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
string(SUBSTRING "${header}" 48 4 plays)  # $18-$19: games started
if(NOT plays STREQUAL "0200")
  message(FATAL_ERROR "expected two games in the battery file: ${header}")
endif()
