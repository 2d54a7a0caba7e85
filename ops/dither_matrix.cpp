#include "ops/dither_matrix.h"

void dither_levels(int levels, DitherLevels* out)
{
    const double step = 255.0 / (levels - 1);
    for (int v = 0; v < 256; ++v) {
        int q = static_cast<int>(v / step);
        if (q >= levels - 1) q = levels - 2;
        out->low[v] = static_cast<uint8_t>(q);
        out->position[v] = static_cast<uint8_t>((v - q * step) / (step * 0.015873015873015872));
    }
}
