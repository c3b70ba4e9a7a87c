# libFuzzer harnesses (tests/fuzz/fuzz_*.cpp), built when CORVEL_FUZZ is on.
# They need clang: configure a build directory of their own, for example
#   CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCORVEL_FUZZ=ON
#     -DCORVEL_DESKTOP=OFF -DCORVEL_TESTS=OFF
# and build only the targets fuzz_image and fuzz_state.
option(CORVEL_FUZZ "Build the libFuzzer harnesses (needs clang)" OFF)

if(CORVEL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "CORVEL_FUZZ needs clang (CC=clang CXX=clang++)")
  endif()
  set(corvel_fuzz_flags -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
      -fno-omit-frame-pointer -g -O1)

  # The emulation library again, instrumented for coverage and sanitized.
  add_library(corvel_fuzz_core STATIC ${corvel_library_sources})
  target_include_directories(corvel_fuzz_core PUBLIC src)
  target_compile_options(corvel_fuzz_core PRIVATE ${corvel_fuzz_flags})

  set(corvel_fuzzers image state)
  foreach(name ${corvel_fuzzers})
    add_executable(fuzz_${name} tests/fuzz/fuzz_${name}.cpp)
    target_include_directories(fuzz_${name} PRIVATE tests)
    target_compile_options(fuzz_${name} PRIVATE ${corvel_fuzz_flags})
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(fuzz_${name} PRIVATE corvel_fuzz_core)
  endforeach()
  add_custom_target(fuzzers DEPENDS fuzz_image fuzz_state)
endif()
