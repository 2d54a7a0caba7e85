// Shared between the resize entry point and its filtered resampler.
#pragma once

#include "ops/resize.h"

// Filters 0, 1 and 3 to 9 on pictures of 1, 3 or 4 components (8 or 16 bits each); colour-mapped
// pictures are turned into RGB first.
Status resize_resample(Picture* source, Picture* destination, int width, int height, int filter);

// One line of colour-mapped pixels as R, G, B (or B, G, R) bytes. A picture that lost its map
// shows its indices as grey levels.
void colour_map_expand_line(const Picture* source, const uint8_t* from, uint8_t* to, bool bgr);
