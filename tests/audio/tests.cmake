# The WAV writer belongs to the headless tool; its unit tests build it in.
target_sources(corvel_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/headless/wav_writer.cpp)
target_include_directories(corvel_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/headless)
