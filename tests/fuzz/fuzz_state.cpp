// libFuzzer harness: see run_state in fuzz_entries.h for what the input is.
#include "fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::run_state(data, size);
  return 0;
}
