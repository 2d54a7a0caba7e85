#include <cstring>

#include "ops/bit_lines.h"
#include "ops/geometry.h"
#include "ops/pixel_dispatch.h"

namespace {

template <int N>
void reverse_pixels(uint8_t* to, const uint8_t* from, int64_t count)
{
    const uint8_t* p = from + (count - 1) * N;
    for (int64_t i = 0; i < count; ++i, p -= N) pixel_move<N>(to + i * N, p);
}

// The new picture: a copy of the source when only a rectangle changes, else a blank one that
// the mirror overwrites completely.
Status flip_start(const Picture* source, const Rect* rect, Picture* result, Rect* r)
{
    LUM_TRY(rect_clip(source, rect, r));
    if (rect) return op_result_copy(source, result);
    return op_result_alloc(source, result, source->width, source->height);
}

}  // namespace

Status image_flip_horizontal(Picture* source, Picture* destination, const Rect* rect)
{
    Rect r;
    Picture out{};
    LUM_TRY(flip_start(source, rect, &out, &r));
    if (source->type == PIXEL_BINARY) {
        for (int y = r.y; y < r.y + r.h; ++y) bits_copy_reversed(picture_line(&out, y), r.x, picture_line(source, y), r.x, r.w);
    } else {
        const Status status = with_pixel_width(source->bytes_per_pixel, [&](auto width) {
            constexpr int N = decltype(width)::value;
            const size_t offset = static_cast<size_t>(r.x) * N;
            for (int y = r.y; y < r.y + r.h; ++y)
                reverse_pixels<N>(picture_line(&out, y) + offset, picture_line(source, y) + offset, r.w);
        });
        if (status != STATUS_OK) {
            picture_free(&out);
            return status;
        }
    }
    op_deliver(source, destination, &out);
    return STATUS_OK;
}

Status image_flip_vertical(Picture* source, Picture* destination, const Rect* rect)
{
    Rect r;
    Picture out{};
    LUM_TRY(flip_start(source, rect, &out, &r));
    const int last = r.y + r.h - 1;
    for (int y = r.y; y <= last; ++y) {
        uint8_t* to = picture_line(&out, r.y + last - y);
        const uint8_t* from = picture_line(source, y);
        if (source->type == PIXEL_BINARY)
            bits_copy(to, r.x, from, r.x, r.w);
        else
            std::memcpy(to + static_cast<size_t>(r.x) * source->bytes_per_pixel,
                        from + static_cast<size_t>(r.x) * source->bytes_per_pixel,
                        static_cast<size_t>(r.w) * source->bytes_per_pixel);
    }
    op_deliver(source, destination, &out);
    return STATUS_OK;
}
