// Helpers of the table-driven operations for grey pictures that store level numbers.
#pragma once

#include <algorithm>

#include "core/picture.h"

// The number of levels of a grey picture storing level numbers 0 .. n-1 (colour_used n between
// 2 and 255); 0 for any other picture, including grey pictures whose colour_used is 0 or 1,
// which are read as plain 0 .. 255 values.
inline int grey_level_count(const Picture* picture)
{
    return picture->type == PIXEL_GREY && picture->colour_used >= 2 && picture->colour_used < 256
               ? picture->colour_used
               : 0;
}

// Makes the first table read the grey value of each level (levels past the last read as the
// last), for operations whose result has 256 levels.
inline void grey_levels_to_values(const Picture* picture, uint8_t* table)
{
    const int n = grey_level_count(picture);
    if (!n) return;
    uint8_t by_level[256];
    for (int i = 0; i < 256; ++i) by_level[i] = table[std::min(i, n - 1) * 255 / (n - 1)];
    std::copy(by_level, by_level + 256, table);
}

// Grey, bilevel and colour-mapped results of the whole-range operations use 256 levels.
inline void mark_full_range(Picture* picture)
{
    if (picture->type == PIXEL_BINARY || picture->type == PIXEL_GREY || picture->type == PIXEL_COLORS)
        picture->colour_used = 256;
}
