// XBM bytes hold their leftmost pixel in the least significant bit: the reverse of the pictures'.
#pragma once

#include <cstdint>

inline uint8_t xbm_reverse_bits(unsigned b)
{
    b = (b & 0xF0) >> 4 | (b & 0x0F) << 4;
    b = (b & 0xCC) >> 2 | (b & 0x33) << 2;
    b = (b & 0xAA) >> 1 | (b & 0x55) << 1;
    return static_cast<uint8_t>(b);
}
