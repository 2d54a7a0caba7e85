// Colour components packed into a pixel word under a bit mask (BMP bit fields, and the 16-bit
// layouts of Targa and TIFF): where a component sits, how wide it is, and its value brought to
// 8 bits.
#pragma once

#include <cstdint>

struct BitField {
    uint32_t mask;
    int shift;  // position of the lowest set bit
    int width;  // set bits from there up (a mask with holes counts its whole span)
    uint32_t max;  // largest value of the component, 0 for an empty mask
};

BitField bit_field_from_mask(uint32_t mask);

// The component of `pixel` as 8 bits: level n of a field whose largest level is m becomes
// n x 255 / m, truncated, so that 0 and m map to 0 and 255 whatever the field's width; an empty
// mask gives 0.
inline uint8_t bit_field_value(const BitField& f, uint32_t pixel)
{
    if (!f.max) return 0;
    const uint64_t v = (pixel & f.mask) >> f.shift;
    return static_cast<uint8_t>(v * 255 / f.max);
}
