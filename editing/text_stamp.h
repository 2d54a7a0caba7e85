// The picture as a device-independent bitmap for the text stamping: the bitmap's shape and colour
// table, and the copies of the pixels into the bitmap and back. The drawing itself is GDI's.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/picture.h"

struct StampBitmapLayout {
    int32_t width;
    int32_t height;      // rows are stored bottom-up
    int32_t bit_count;   // 1, 4, 8, 24 or 32
    int32_t stride;      // bytes per row, a multiple of 4
    int32_t colours;     // colour-table entries (0 for 24 and 32 bits)
    uint32_t table[256]; // 0x00RRGGBB, as RGBQUAD reads in memory
};

// False for pictures that cannot be stamped (more than 8 bits per component, no pixels, or a
// size whose bitmap would not fit in 32 bits): those are left as they are.
bool stamp_bitmap_layout(const Picture* picture, StampBitmapLayout* layout);

// Fills the bitmap (layout.stride * layout.height bytes) from the picture.
void stamp_picture_to_bitmap(const Picture* picture, const StampBitmapLayout& layout, uint8_t* bits);
// Writes the drawn bitmap back: same lines, same byte positions, so that the picture keeps its
// size, type and stride. Alpha stays the picture's own; CMYK pixels take the drawn colour only
// where the drawing changed them.
void stamp_bitmap_to_picture(const uint8_t* bits, const StampBitmapLayout& layout, Picture* picture);
