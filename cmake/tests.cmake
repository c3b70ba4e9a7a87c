# Unit tests (GoogleTest, one binary) and program-level tests (CTest).
find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB_RECURSE corvel_test_sources CONFIGURE_DEPENDS tests/*.cpp)
# The fuzz harnesses and the desktop shell's tests are built apart.
list(FILTER corvel_test_sources EXCLUDE REGEX "/tests/(fuzz|desktop)/")
add_executable(corvel_tests ${corvel_test_sources})
target_link_libraries(corvel_tests PRIVATE corvel_core GTest::gtest GTest::gtest_main)
target_include_directories(corvel_tests PRIVATE tests)
target_compile_definitions(corvel_tests PRIVATE
  CORVEL_CARTRIDGE_DIR="${CORVEL_CARTRIDGE_DIR}"
  CORVEL_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  CORVEL_HEADLESS="$<TARGET_FILE:corvel-headless>")
gtest_discover_tests(corvel_tests DISCOVERY_TIMEOUT 60)

# Each group registers its own program-level tests here.
file(GLOB corvel_test_scripts CONFIGURE_DEPENDS tests/*/tests.cmake)
foreach(script ${corvel_test_scripts})
  include(${script})
endforeach()
