// Byte remapping through 256-entry tables, the inner loop of every point operation.
#pragma once

#include <cstddef>
#include <cstdint>

// The tables a run of pixels goes through: byte k of each pixel through `table[k]` for k < 3;
// a fourth byte (alpha, or K of CMYK) is copied as it is. Pixels have 1 to 4 bytes.
struct PixelTables {
    const uint8_t* table[3];
    int pixel_bytes;
};

// Maps `pixels` pixels from `from` into `to`; the two may be the same buffer (in place) but must
// not otherwise overlap.
void map_pixels(const uint8_t* from, uint8_t* to, size_t pixels, const PixelTables& tables);

// The same without vector instructions: what machines without them run, and what the tests hold
// the vector loop to.
void map_pixels_portable(const uint8_t* from, uint8_t* to, size_t pixels, const PixelTables& tables);
