// 3 x 3 neighbourhood filters: a weighted blur and convolution with fixed kernels. Every byte of
// a pixel is filtered on its own (alpha and colour-map indexes included); edge pixels see copies
// of themselves beyond the picture. Calling convention of ops/op.h.
#pragma once

#include <cstdint>

#include "core/picture.h"

struct FilterKernel {
    int32_t weight[9];  // row above (left, centre, right), current row, row below
    int32_t divisor;
    int32_t bias;       // added after the division
};

constexpr int FILTER_KERNEL_COUNT = 9;
// 0 to 3 sharpen, 4 to 6 find edges around grey 128, 7 and 8 emboss.
extern const FilterKernel filter_kernels[FILTER_KERNEL_COUNT];

// Copies stored line `y` (clamped to the picture) into `buffer` between size / 2 copies of its
// first pixel and as many of its last: (width + 2 (size / 2)) x bytes_per_pixel bytes.
void padded_line(uint8_t* buffer, const Picture* picture, int y, int size);

// Strength 0 to 100 (more counts as 100): the centre's weight falls from 3200 to 25 against
// 1200 for the eight neighbours.
Status image_blur(Picture* source, Picture* destination, const Rect* rect, unsigned strength);
// Kernel entry 0 to 8; others give STATUS_BAD_PARAMETER.
Status image_filter(Picture* source, Picture* destination, const Rect* rect, int entry);
Status image_sharpen(Picture* source, Picture* destination, const Rect* rect);
