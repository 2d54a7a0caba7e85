#include "fuzz/fuzz_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* d, size_t n) { return fuzz_load(d, n, "psd", ".psd", 1); }
