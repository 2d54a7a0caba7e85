// Modes 19 to 24: the six true-colour byte orders.
#include <algorithm>

#include "ops/depth_internal.h"
#include "ops/scratch.h"

namespace {

// The alpha of each pixel of line y: the source's own, or opaque; a colour-mapped picture's
// transparent index is the one clear colour.
void alpha_line(const SourceReader& source, int y, uint8_t* alpha)
{
    const Picture* p = source.picture;
    const uint8_t* line = picture_line(p, y);
    if (p->type == PIXEL_COLORS) {
        const int clear = p->transparent_index;
        for (int x = 0; x < source.width; ++x) alpha[x] = line[x] == clear ? 0 : 255;
        return;
    }
    const ColourLayout& in = source.layout;
    for (int x = 0; x < source.width; ++x) alpha[x] = line[x * in.stride + in.alpha];
}

}  // namespace

Status depth_to_true_colour(const SourceReader& source, uint32_t type, Picture* result)
{
    ColourLayout out;
    if (!colour_layout(type, &out)) return STATUS_BAD_PARAMETER;
    if (picture_alloc_like(result, type, source.picture)) return STATUS_NO_MEMORY;
    const Picture* p = source.picture;
    const int width = source.width;
    const bool own_alpha = (p->type & PIXEL_ANY32) && p->type != PIXEL_CMYK;
    const bool has_clear_index = p->type == PIXEL_COLORS && p->transparent_index < 256;
    Scratch<uint8_t> rgb_buffer(static_cast<size_t>(width) * 3), alpha(width);
    if (!rgb_buffer.ok() || !alpha.ok()) return STATUS_NO_MEMORY;
    std::fill(alpha.get(), alpha.get() + width, 255);
    for (int y = 0; y < p->height; ++y) {
        const uint8_t* rgb = source_rgb_line(source, y, rgb_buffer.get());
        uint8_t* o = picture_line(result, y);
        if (out.alpha < 0) {
            for (int x = 0; x < width; ++x, rgb += 3, o += 3) {
                o[out.red] = rgb[0];
                o[out.green] = rgb[1];
                o[out.blue] = rgb[2];
            }
            continue;
        }
        if (own_alpha || has_clear_index) alpha_line(source, y, alpha.get());
        for (int x = 0; x < width; ++x, rgb += 3, o += 4) {
            o[out.red] = rgb[0];
            o[out.green] = rgb[1];
            o[out.blue] = rgb[2];
            o[out.alpha] = alpha[x];
        }
    }
    return STATUS_OK;
}
