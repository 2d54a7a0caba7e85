// libtiff, the TIFF codec's yardstick: reading every strip of a file and writing an LZW file.
// Its headers name things as ours do, so it is kept to its own file behind these calls.
#pragma once

#include <cstddef>
#include <cstdint>

// Decodes every strip of the first page with TIFFReadEncodedStrip; returns the bytes produced.
size_t libtiff_read_strips(const char* path);
// The same, each strip straight into its place in `out` (`size` bytes): what a load must do.
size_t libtiff_read_strips_into(const char* path, uint8_t* out, size_t size);
// Writes an RGB picture (rows of 3 x width bytes) with LZW and `rows_per_strip`; false on failure.
bool libtiff_write_lzw(const char* path, const uint8_t* pixels, int width, int height, int rows_per_strip);
