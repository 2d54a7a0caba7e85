// The colour table a palette format writes for a picture.
#pragma once

#include <cstdint>

#include "core/save.h"

// Grey levels of a grey picture: `colour_used` when it is between 2 and 255, else 256. A grey
// picture of fewer than 256 levels holds level numbers 0 to levels - 1.
int save_grey_levels(const SaveContext* context);

// `entries` table entries as R, G, B (the rest of the 768 bytes zero): black then white for
// bilevel pictures, the grey levels spread evenly over 0..255 for grey ones (so a level
// number is its own index), the colour map for
// colour-mapped ones.
void save_palette_rgb(const SaveContext* context, int entries, uint8_t rgb[768]);
