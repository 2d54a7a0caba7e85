// The shape of every reader's fuzz target: the input goes through load_picture as a file of the
// format's extension, once with the photo's parameters and once as a thumbnail is loaded.
#pragma once

#include <cstddef>
#include <cstdint>

// Returns 0 (libFuzzer's convention). `format` is the registry's short name. A `page` above 0
// has the thumbnail load ask for that page, for readers whose later pages take paths of their own.
int fuzz_load(const uint8_t* data, size_t size, const char* format, const char* extension, int page = 0);
