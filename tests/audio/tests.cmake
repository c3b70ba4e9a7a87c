# The WAV writer belongs to the headless tool; its unit tests build it in.
target_sources(corvel_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/headless/wav_writer.cpp)
target_include_directories(corvel_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/headless)

# The sound cartridge checks its length counters itself and reports through
# the result protocol; its notes are checked from the WAV by corvel_tests.
corvel_cartridge_test(sound_notes 500)
