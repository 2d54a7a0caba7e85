#include <cstring>

#include "ops/bit_lines.h"
#include "ops/geometry.h"

namespace {

// Copies the clipped rectangle's columns of one line.
inline void copy_columns(const Picture* source, uint8_t* to, const uint8_t* from, const Rect& r)
{
    if (source->type == PIXEL_BINARY) {
        bits_copy(to, 0, from, r.x, r.w);
    } else {
        const size_t n = source->bytes_per_pixel;
        std::memcpy(to, from + static_cast<size_t>(r.x) * n, static_cast<size_t>(r.w) * n);
    }
}

// Builds the rectangle's picture; `displayed` counts the rectangle's lines top down as shown,
// also for pictures stored bottom-up.
Status cut(Picture* source, Picture* destination, const Rect* rect, bool displayed)
{
    Rect r;
    LUM_TRY(rect_clip(source, rect, &r));
    Picture out{};
    LUM_TRY(op_result_alloc(source, &out, r.w, r.h));
    const bool flip = displayed && (source->origin & PICTURE_ORIGIN_BOTTOM);
    for (int i = 0; i < r.h; ++i) {
        // Bottom-up: displayed line r.y + i is stored at height - 1 - (r.y + i) in the source and at
        // r.h - 1 - i in the new picture, which keeps the source's origin.
        const int from = flip ? source->height - 1 - r.y - i : r.y + i;
        const int to = flip ? r.h - 1 - i : i;
        copy_columns(source, picture_line(&out, to), picture_line(source, from), r);
    }
    op_deliver(source, destination, &out);
    return STATUS_OK;
}

}  // namespace

Status image_crop(Picture* source, Picture* destination, const Rect* rect)
{
    if (!rect) return STATUS_BAD_PARAMETER;
    return cut(source, destination, rect, true);
}

Status picture_copy(Picture* source, Picture* destination, const Rect* rect)
{
    if (!rect) {
        if (!destination) return STATUS_OK;
        Picture out{};
        LUM_TRY(op_result_copy(source, &out));
        *destination = out;
        return STATUS_OK;
    }
    return cut(source, destination, rect, false);
}
