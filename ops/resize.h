// Scaling a whole picture to a new size. Calling convention of ops/op.h, without rectangle.
#pragma once

#include "ops/op.h"

enum : int {
    RESIZE_INTERPOLATE = 0,  // 0 and 1: area average when reducing, linear blend when enlarging
    RESIZE_NEAREST = 2,
    RESIZE_HERMITE = 3,
    RESIZE_GAUSSIAN = 4,
    RESIZE_QUADRATIC = 5,
    RESIZE_BSPLINE = 6,
    RESIZE_MITCHELL = 7,
    RESIZE_LANCZOS = 8,
    RESIZE_RAISED_COSINE = 9,
};

// Bilevel and colour-mapped pictures are scaled by nearest pixel except with filters 3 to 9,
// which turn colour-mapped pictures into RGB. Status 16 for a size below 1 or an unknown filter.
Status image_resize(Picture* source, Picture* destination, int width, int height, int filter);

// Exact area average. Colour-mapped pictures become `mapped_target` (PIXEL_RGB or PIXEL_BGR),
// bilevel ones grey (reduction only, in both directions).
Status image_resize_average(Picture* source, Picture* destination, int width, int height, uint32_t mapped_target);
