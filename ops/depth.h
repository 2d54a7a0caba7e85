// Colour-depth conversion: bilevel, grey levels, palettes and the true-colour byte orders.
#pragma once

#include "core/picture.h"

// Modes of image_change_depth.
enum : int {
    DEPTH_BILEVEL = 1,
    DEPTH_GREY_4 = 2,    // 2 ... 9: 4, 8, 16, 32, 64, 128, 216, 256 grey levels
    DEPTH_GREY_256 = 9,
    DEPTH_COLOURS_8 = 12,  // 12 ... 18: 8, 16, 32, 64, 128, 216, 256 colours
    DEPTH_COLOURS_256 = 18,
    DEPTH_RGB = 19,
    DEPTH_RGBA = 20,
    DEPTH_BGR = 21,
    DEPTH_ABGR = 22,
    DEPTH_BGRA = 23,
    DEPTH_ARGB = 24,
};

// The dither argument: for DEPTH_BILEVEL the method, for grey levels and palettes the kind.
enum : int {
    BILEVEL_THRESHOLD = 0,   // grey >= 127
    BILEVEL_ORDERED_16 = 1,  // 16 x 16 ordered matrix
    BILEVEL_DISPERSED_6 = 2, // 6 x 6 matrix B (also 4 and 6 or more)
    BILEVEL_CLUSTERED_6 = 3, // 6 x 6 clustered-dot matrix A
    BILEVEL_DIFFUSION = 5,   // error diffusion

    DITHER_NONE = 0,
    DITHER_ORDERED = 1,    // 8 x 8 ordered dither: grey levels, uniform palettes
    DITHER_DIFFUSION = 2,  // palettes only: median cut with Floyd-Steinberg diffusion
};

// Converts `source` to the type and number of colours of `mode`, into `destination` or in place.
// Returns STATUS_BAD_PARAMETER for an unknown mode or a picture whose layout cannot be read, and
// STATUS_NO_MEMORY when the result cannot be allocated; the source is then unchanged.
Status image_change_depth(Picture* source, Picture* destination, int mode, int dither);

// Reduces any picture to a colour-mapped one of at most `colours` (2 ... 256) chosen by median
// cut, with Floyd-Steinberg diffusion when `diffuse` is set (colour sources only).
Status image_median_cut(Picture* source, Picture* destination, int colours, bool diffuse);
