// The luminance every image operation uses to turn a colour into a grey value.
#pragma once

#include <cstdint>

// 77 + 150 + 29 = 256, so white stays 255 and the sum never leaves 16 bits.
constexpr uint8_t luminance(unsigned red, unsigned green, unsigned blue)
{
    return static_cast<uint8_t>((77 * red + 150 * green + 29 * blue) >> 8);
}
