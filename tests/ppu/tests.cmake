# The screenshot writer is part of the headless tool; the tests compile it in
# to write and read back pictures, and read the tool's screenshots with libpng.
target_sources(corvel_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/headless/png_writer.cpp)
target_include_directories(corvel_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/headless)
target_link_libraries(corvel_tests PRIVATE PNG::PNG)
