// Modes 2 to 9: grey pictures of 4 to 256 levels, with or without the 8 x 8 ordered dither.
#include "ops/depth_internal.h"
#include "ops/dither_matrix.h"
#include "ops/scratch.h"

namespace {

void ordered_line(const uint8_t* grey, int width, const DitherLevels& levels, const uint8_t* matrix_row, uint8_t* out)
{
    for (int x = 0; x < width; ++x) {
        const uint8_t g = grey[x];
        out[x] = static_cast<uint8_t>(levels.low[g] + (levels.position[g] > matrix_row[x & 7]));
    }
}

void lookup_line(const uint8_t* in, int width, const uint8_t* table, uint8_t* out)
{
    for (int x = 0; x < width; ++x) out[x] = table[in[x]];
}

}  // namespace

Status depth_to_grey(const SourceReader& source, int levels, bool dither, Picture* result)
{
    if (picture_alloc_like(result, PIXEL_GREY, source.picture)) return STATUS_NO_MEMORY;
    result->colour_used = static_cast<int16_t>(levels);
    const Picture* p = source.picture;
    const int width = source.width;
    if (levels == 256 || p->type == PIXEL_BINARY) dither = false;

    if (dither) {
        DitherLevels split;
        dither_levels(levels, &split);
        Scratch<uint8_t> grey(width);
        if (!grey.ok()) return STATUS_NO_MEMORY;
        for (int y = 0; y < p->height; ++y) {
            source_grey_line(source, y, grey.get());
            ordered_line(grey.get(), width, split, kOrdered8[y & 7].data(), picture_line(result, y));
        }
        return STATUS_OK;
    }

    // Without dither every pixel goes through one table: grey sources by their own level count,
    // the others by their grey value.
    uint8_t table[256];
    if (p->type == PIXEL_GREY) {
        const int from = grey_levels(p);
        for (int v = 0; v < 256; ++v) table[v] = static_cast<uint8_t>(ramp(from, levels, v < from ? v : from - 1));
    } else {
        for (int v = 0; v < 256; ++v) table[v] = static_cast<uint8_t>(ramp(256, levels, p->type == PIXEL_COLORS ? source.grey[v] : v));
    }
    for (int y = 0; y < p->height; ++y) {
        uint8_t* out = picture_line(result, y);
        if (source_is_one_byte(source)) {
            lookup_line(picture_line(p, y), width, table, out);
            continue;
        }
        source_grey_line(source, y, out);
        if (levels != 256) lookup_line(out, width, table, out);
    }
    return STATUS_OK;
}
