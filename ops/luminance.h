// Luminance and the places of red, green and blue within a pixel, as the colour operations read
// them.
#pragma once

#include <cstdint>

#include "core/picture.h"

// The weights sum to 256, so white stays 255 and the sum of a pixel never leaves 16 bits.
constexpr int luminance(int red, int green, int blue) { return (77 * red + 150 * green + 29 * blue) >> 8; }

struct RgbPositions {
    int red;
    int green;
    int blue;
};

// Byte positions of red, green and blue in a pixel of `type`. Types without a colour order of
// their own (CMYK among them) are read as R, G, B.
constexpr RgbPositions rgb_positions(uint32_t type)
{
    switch (type) {
    case PIXEL_BGR:
    case PIXEL_BGRA: return {2, 1, 0};
    case PIXEL_ABGR: return {3, 2, 1};
    case PIXEL_ARGB: return {1, 2, 3};
    default: return {0, 1, 2};
    }
}
