#include <algorithm>
#include <cmath>
#include <cstring>

#include "ops/bit_lines.h"
#include "ops/geometry.h"
#include "ops/pixel_dispatch.h"

namespace {

// Where one new line meets the source: the source position (before rounding) of new column i
// is (x0 + i·dx, y0 + i·dy); it is inside when both, plus one half, fall in [0, size).
struct Span {
    double x0, dx, y0, dy;
    double width, height;

    bool inside(int64_t i) const
    {
        const double fx = x0 + static_cast<double>(i) * dx + 0.5;
        const double fy = y0 + static_cast<double>(i) * dy + 0.5;
        return fx >= 0 && fx < width && fy >= 0 && fy < height;
    }
    int source_x(int64_t i) const { return static_cast<int>(x0 + static_cast<double>(i) * dx + 0.5); }
    int source_y(int64_t i) const { return static_cast<int>(y0 + static_cast<double>(i) * dy + 0.5); }
};

// Narrows [lo, hi] to the columns whose position along one axis, a + i·d, lies in [-0.5, size - 0.5).
void narrow(double a, double d, double size, double* lo, double* hi)
{
    if (std::fabs(d) < 1e-12) {
        if (a + 0.5 < 0 || a + 0.5 >= size) *hi = *lo - 1;
        return;
    }
    double first = (-0.5 - a) / d, last = (size - 0.5 - a) / d;
    if (first > last) std::swap(first, last);
    *lo = std::max(*lo, first);
    *hi = std::min(*hi, last);
}

// The columns of one new line whose source pixel lies inside the source; the computed ends are
// then checked with the very arithmetic the copy uses, so that no pixel is read from outside.
bool span_columns(const Span& s, int64_t new_width, int64_t* first, int64_t* last)
{
    double lo = 0, hi = static_cast<double>(new_width - 1);
    narrow(s.x0, s.dx, s.width, &lo, &hi);
    narrow(s.y0, s.dy, s.height, &lo, &hi);
    if (lo > hi) return false;
    int64_t a = static_cast<int64_t>(std::floor(lo)), b = static_cast<int64_t>(std::ceil(hi));
    a = std::clamp<int64_t>(a, 0, new_width - 1);
    b = std::clamp<int64_t>(b, 0, new_width - 1);
    while (a <= b && !s.inside(a)) ++a;
    while (b >= a && !s.inside(b)) --b;
    *first = a;
    *last = b;
    return a <= b;
}

void fill_background(Picture* out, const uint8_t* background)
{
    if (!background) return;  // the new picture is zero already
    const int64_t w = out->width;
    for (int y = 0; y < out->height; ++y) {
        uint8_t* line = picture_line(out, y);
        if (out->type == PIXEL_BINARY) {
            // One bit a pixel: any nonzero first byte stands for white.
            bits_fill(line, 0, w, background[0] != 0);
        } else if (out->bytes_per_pixel == 1) {
            std::memset(line, background[0], static_cast<size_t>(w));
        } else {
            for (int64_t x = 0; x < w; ++x) std::memcpy(line + x * out->bytes_per_pixel, background, out->bytes_per_pixel);
        }
    }
}

}  // namespace

Status image_rotate_any(Picture* source, Picture* destination, double angle, const uint8_t* background)
{
    if (!source->data || !std::isfinite(angle)) return STATUS_BAD_PARAMETER;
    const double t = angle * 0.017453292519943295;
    const double c = std::cos(t), s = std::sin(t);
    const double w = source->width, h = source->height;
    // Forward map about the centre: x' = x·c - y·s + tx, y' = x·s + y·c + ty.
    const double tx = (h * s + w * (1 - c)) / 2, ty = (h * (1 - c) - w * s) / 2;
    const double cx[4] = {0, w - 1, w - 1, 0}, cy[4] = {0, 0, h - 1, h - 1};
    double min_x = INFINITY, max_x = -INFINITY, min_y = INFINITY, max_y = -INFINITY;
    for (int k = 0; k < 4; ++k) {
        const double x = cx[k] * c - cy[k] * s + tx, y = cx[k] * s + cy[k] * c + ty;
        min_x = std::min(min_x, x), max_x = std::max(max_x, x);
        min_y = std::min(min_y, y), max_y = std::max(max_y, y);
    }
    const double new_w = std::trunc(max_x - min_x + 0.5) + 1, new_h = std::trunc(max_y - min_y + 0.5) + 1;
    if (new_w > INT32_MAX || new_h > INT32_MAX) return STATUS_NO_MEMORY;

    Picture out{};
    LUM_TRY(op_result_alloc(source, &out, static_cast<int>(new_w), static_cast<int>(new_h)));
    fill_background(&out, background);

    // Inverse map: the turn by -angle about the same centre. The new grid is centred on the
    // turned picture's box, so that the source's centre lands on the new picture's centre and a
    // mirrored source gives the mirrored result, pixel for pixel.
    const double origin_x = (min_x + max_x) / 2 - (new_w - 1) / 2, origin_y = (min_y + max_y) / 2 - (new_h - 1) / 2;
    const double c2 = c, s2 = -s;
    const double tx2 = (h * s2 + w * (1 - c2)) / 2, ty2 = (h * (1 - c2) - w * s2) / 2;
    const bool or_bits = !background || background[0] == 0;
    const int64_t out_w = out.width;
    auto turn = [&](auto write) {
        for (int j = 0; j < out.height; ++j) {
            const double y = origin_y + j;
            const Span span{origin_x * c2 - y * s2 + tx2, c2, origin_x * s2 + y * c2 + ty2, s2, w, h};
            int64_t first, last;
            if (!span_columns(span, out_w, &first, &last)) continue;
            uint8_t* line = picture_line(&out, j);
            for (int64_t i = first; i <= last; ++i) write(line, i, span.source_x(i), span.source_y(i));
        }
    };
    if (source->type == PIXEL_BINARY) {
        if (or_bits)
            turn([&](uint8_t* line, int64_t i, int x, int y) { bit_or(line + (i >> 3), static_cast<int>(i & 7), bit_get(picture_line(source, y), x)); });
        else
            turn([&](uint8_t* line, int64_t i, int x, int y) { bit_put(line + (i >> 3), static_cast<int>(i & 7), bit_get(picture_line(source, y), x)); });
    } else {
        const Status status = with_pixel_width(source->bytes_per_pixel, [&](auto width) {
            constexpr int N = decltype(width)::value;
            turn([&](uint8_t* line, int64_t i, int x, int y) {
                pixel_move<N>(line + i * N, picture_line(source, y) + static_cast<ptrdiff_t>(x) * N);
            });
        });
        if (status != STATUS_OK) {
            picture_free(&out);
            return status;
        }
    }
    op_deliver(source, destination, &out);
    return STATUS_OK;
}
