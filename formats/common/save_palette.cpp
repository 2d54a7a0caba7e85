#include "formats/common/save_palette.h"

#include <cstring>

int save_grey_levels(const SaveContext* ctx)
{
    return ctx->colour_used > 1 && ctx->colour_used < 256 ? ctx->colour_used : 256;
}

void save_palette_rgb(const SaveContext* ctx, int entries, uint8_t rgb[768])
{
    std::memset(rgb, 0, 768);
    if (entries > 256) entries = 256;
    const Picture* p = ctx->picture;
    if (ctx->type == PIXEL_BINARY) {
        if (entries > 1) std::memset(rgb + 3, 255, 3);
        return;
    }
    if (ctx->type == PIXEL_GREY) {
        const int levels = save_grey_levels(ctx);
        for (int i = 0; i < entries && i < levels; ++i) std::memset(rgb + 3 * i, i * 255 / (levels - 1), 3);
        return;
    }
    if (!p->colour_map) return;
    for (int i = 0; i < entries; ++i) {
        rgb[3 * i] = p->colour_map[i];
        rgb[3 * i + 1] = p->colour_map[256 + i];
        rgb[3 * i + 2] = p->colour_map[512 + i];
    }
}
