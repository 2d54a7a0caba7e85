// The run-length codings of BMP files: RLE8 (one byte a pixel) and RLE4 (one nibble a pixel).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/status.h"
#include "core/stream.h"

// The picture the codes paint: `height` rows of `line_bytes` bytes, packed as the file packs
// pixels (a byte each, or two nibbles a byte, high first), zeroed beforehand.
struct RleImage {
    uint8_t* pixels;
    int line_bytes;
    int width;
    int height;
    bool nibbles;  // RLE4
};

// Decodes from the stream's position until the end-of-bitmap code or the last row. Pixels of runs
// and literals that pass a line's end are dropped, never carried onto the next line; deltas
// move right and down. Nothing is written outside the picture, and a file that ends early gives
// STATUS_INCOMPLETE with what was decoded so far. `rows_painted` receives how many rows from the
// first hold pixels: the ones after are still blank.
Status bmp_rle_decode(Stream* stream, const RleImage& image, int* rows_painted);

// Bytes one encoded line may need at most, end-of-line code included.
inline size_t bmp_rle_line_capacity(int width) { return 2 * static_cast<size_t>(width) + 8; }

// Encodes one line of `width` pixel values (one byte each) and its end-of-line code into `out`;
// returns the byte count.
size_t bmp_rle8_encode_line(const uint8_t* pixels, int width, uint8_t* out);
size_t bmp_rle4_encode_line(const uint8_t* pixels, int width, uint8_t* out);
