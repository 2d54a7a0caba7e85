#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

#include "ops/bit_lines.h"
#include "ops/geometry.h"
#include "ops/pixel_dispatch.h"

namespace {

// Side of the square blocks a quarter turn walks: the source lines of one block stay in the
// first-level cache while its columns are read, and every new line is written in runs.
constexpr int kTurnBlock = 64;

inline uint64_t rgb_word(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v & 0xFFFFFFu;  // little-endian: the pixel's three bytes
}

// Four 3-byte pixels, `step` bytes apart, side by side.
inline void gather_four_rgb(uint8_t* to, const uint8_t* from, ptrdiff_t step)
{
    const uint64_t p0 = rgb_word(from), p1 = rgb_word(from + step), p2 = rgb_word(from + 2 * step),
                   p3 = rgb_word(from + 3 * step);
    const uint64_t low = p0 | (p1 << 24) | (p2 << 48);
    const uint32_t high = static_cast<uint32_t>((p2 >> 16) | (p3 << 8));
    std::memcpy(to, &low, 8);
    std::memcpy(to + 8, &high, 4);
}

template <int N>
void turn_quarter(const Picture* source, Picture* out, bool clockwise)
{
    const int w = source->width, h = source->height;
    const ptrdiff_t stride = source->bytes_per_line;
    // New pixel (c, r): clockwise, source (r, h - 1 - c); counter-clockwise, source (w - 1 - r, c).
    // Along a new line the source pointer steps one stored line up or down.
    const ptrdiff_t step = clockwise ? -stride : stride;
    for (int r0 = 0; r0 < w; r0 += kTurnBlock) {
        const int r1 = std::min(w, r0 + kTurnBlock);
        for (int c0 = 0; c0 < h; c0 += kTurnBlock) {
            const int c1 = std::min(h, c0 + kTurnBlock);
            // The next block's source lines are scattered rows: ask for them while this one is moved.
            for (int c = c1; c < std::min(h, c1 + kTurnBlock); ++c) {
                const uint8_t* row = picture_line(source, clockwise ? h - 1 - c : c);
                const int sx0 = clockwise ? r0 : w - r1;
                for (int64_t b = int64_t{sx0} * N; b < int64_t{sx0 + (r1 - r0)} * N; b += 64) __builtin_prefetch(row + b);
            }
            for (int r = r0; r < r1; ++r) {
                const int sx = clockwise ? r : w - 1 - r;
                const int sy = clockwise ? h - 1 - c0 : c0;
                const uint8_t* from = picture_line(source, sy) + static_cast<ptrdiff_t>(sx) * N;
                uint8_t* to = picture_line(out, r) + static_cast<ptrdiff_t>(c0) * N;
                int c = c0;
                if constexpr (N == 3 && std::endian::native == std::endian::little) {
                    // Four pixels gathered into twelve bytes, stored as two words. Each pixel is
                    // read as a 4-byte word, which needs one more byte on its line.
                    if (int64_t{sx} * 3 + 4 <= stride)
                        for (; c + 4 <= c1; c += 4, from += 4 * step, to += 12) gather_four_rgb(to, from, step);
                }
                for (; c < c1; ++c, from += step, to += N) pixel_move<N>(to, from);
            }
        }
    }
}

}  // namespace

Status image_rotate_90(Picture* source, Picture* destination, int direction)
{
    const bool clockwise = direction >= 1;
    Picture out{};
    LUM_TRY(op_result_alloc(source, &out, source->height, source->width));
    const int w = source->width, h = source->height;
    if (source->type == PIXEL_BINARY) {
        for (int r = 0; r < w; ++r) {
            uint8_t* to = picture_line(&out, r);
            if (clockwise)
                for (int c = 0; c < h; ++c) bit_or(to, c, bit_get(picture_line(source, h - 1 - c), r));
            else
                for (int c = 0; c < h; ++c) bit_or(to, c, bit_get(picture_line(source, c), w - 1 - r));
        }
    } else {
        const Status status = with_pixel_width(source->bytes_per_pixel, [&](auto width) {
            turn_quarter<decltype(width)::value>(source, &out, clockwise);
        });
        if (status != STATUS_OK) {
            picture_free(&out);
            return status;
        }
    }
    op_deliver(source, destination, &out);
    return STATUS_OK;
}

Status image_rotate_180(Picture* source, Picture* destination)
{
    if (!pixel_width_known(source->bytes_per_pixel)) return STATUS_BAD_PARAMETER;
    Picture out{};
    LUM_TRY(op_result_alloc(source, &out, source->width, source->height));
    const int w = source->width, h = source->height;
    if (source->type == PIXEL_BINARY) {
        for (int r = 0; r < h; ++r) bits_copy_reversed(picture_line(&out, r), 0, picture_line(source, h - 1 - r), 0, w);
    } else {
        for (int r = 0; r < h; ++r) pixels_reverse(picture_line(&out, r), picture_line(source, h - 1 - r), w, source->bytes_per_pixel);
    }
    op_deliver(source, destination, &out);
    return STATUS_OK;
}

Status image_rotate(Picture* source, Picture* destination, int angle, const uint8_t* background)
{
    if (!source->data) return STATUS_BAD_PARAMETER;
    // Bottom-up lines turn the other way round as displayed; turning the stored lines by the
    // opposite angle makes the displayed result turn as asked, whatever the angle.
    const bool bottom_up = (source->origin & PICTURE_ORIGIN_BOTTOM) != 0;
    const double any_angle = bottom_up ? -static_cast<double>(angle) : angle;
    if (bottom_up && angle != INT_MIN) angle = -angle;
    if (angle % 360 == 0) return picture_copy(source, destination, nullptr);
    const bool tiles = bilevel_tiles_apply(source);
    switch (angle) {
    case 90:
    case -270: return tiles ? bilevel_rotate_90_tiles(source, destination, 90) : image_rotate_90(source, destination, 90);
    case -90:
    case 270: return tiles ? bilevel_rotate_90_tiles(source, destination, -90) : image_rotate_90(source, destination, -90);
    case 180:
    case -180: return tiles ? bilevel_rotate_180_tiles(source, destination) : image_rotate_180(source, destination);
    default: return image_rotate_any(source, destination, any_angle, background);
    }
}
