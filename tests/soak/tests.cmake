# The soak program (corvel-soak): an hour of emulated time on nine consoles,
# run by `make soak`, not by the test suite.
get_target_property(corvel_test_sources_now corvel_tests SOURCES)
list(FILTER corvel_test_sources_now EXCLUDE REGEX "/tests/soak/")
set_target_properties(corvel_tests PROPERTIES SOURCES "${corvel_test_sources_now}")

add_executable(corvel-soak ${CMAKE_SOURCE_DIR}/tests/soak/soak.cpp)
target_link_libraries(corvel-soak PRIVATE corvel_core)
