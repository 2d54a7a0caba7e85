// Mirroring, turning and cutting pictures. Every operation follows the calling convention of
// ops/op.h; rectangles count stored lines except in image_crop, which counts displayed lines.
#pragma once

#include "ops/op.h"

// Mirrors the pixels inside `rect` (null: the whole picture) left-right or top-bottom; pixels
// outside it keep their values.
Status image_flip_horizontal(Picture* source, Picture* destination, const Rect* rect);
Status image_flip_vertical(Picture* source, Picture* destination, const Rect* rect);

// Turns by `angle` degrees, positive clockwise as displayed, bottom-up pictures included.
// Quarter and half turns move pixels exactly; other angles go to image_rotate_any.
// `background` (bytes_per_pixel bytes, may be null) fills what the turned picture leaves bare.
Status image_rotate(Picture* source, Picture* destination, int angle, const uint8_t* background);
// A quarter turn of the stored lines: direction below 1 turns counter-clockwise, otherwise clockwise.
Status image_rotate_90(Picture* source, Picture* destination, int direction);
Status image_rotate_180(Picture* source, Picture* destination);
// Nearest-pixel turn by any angle into the bounding box of the turned picture.
Status image_rotate_any(Picture* source, Picture* destination, double angle, const uint8_t* background);

// Cuts out `rect` (required), counted in displayed lines; clipped to the picture.
Status image_crop(Picture* source, Picture* destination, const Rect* rect);
// Without rect: a whole copy into the destination (nothing to do without one). With rect: the
// clipped rectangle of stored lines, into the destination or in place.
Status picture_copy(Picture* source, Picture* destination, const Rect* rect);

// The 32 × 32 tile turns of bilevel pictures whose lines are whole 32-bit words (line padding 4):
// same results as image_rotate_90 and image_rotate_180; status 16 for pictures that do not qualify.
bool bilevel_tiles_apply(const Picture* source);
Status bilevel_rotate_90_tiles(Picture* source, Picture* destination, int direction);
Status bilevel_rotate_180_tiles(Picture* source, Picture* destination);
