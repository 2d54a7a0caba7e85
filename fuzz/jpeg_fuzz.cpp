#include "fuzz/fuzz_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzz_load(data, size, "jpeg", ".jpg"); }
