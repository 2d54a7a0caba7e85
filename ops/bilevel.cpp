// Mode 1: black and white by threshold, ordered matrices or error diffusion.
#include <algorithm>

#include "ops/depth.h"
#include "ops/depth_internal.h"
#include "ops/dither_matrix.h"
#include "ops/scratch.h"

namespace {

// The ordered methods all come down to "white when grey >= threshold", one row of thresholds per
// line of the matrix; (g x 36) / 255 >= m is the same test as g >= ceil(255 m / 36).
int threshold_row_count(int method)
{
    return method == BILEVEL_THRESHOLD ? 1 : method == BILEVEL_ORDERED_16 ? 16 : 6;
}

void fill_thresholds(int method, int width, uint8_t* t)
{
    if (method == BILEVEL_THRESHOLD) {
        std::fill(t, t + width, 127);
    } else if (method == BILEVEL_ORDERED_16) {
        for (int y = 0; y < 16; ++y, t += width)
            for (int x = 0; x < width; ++x) t[x] = kBayer16[y][x & 15];
    } else {
        const Matrix6& m = method == BILEVEL_CLUSTERED_6 ? kClustered6 : kDispersed6;
        for (int y = 0; y < 6; ++y, t += width)
            for (int x = 0; x < width; ++x) t[x] = static_cast<uint8_t>((255 * m[y][x % 6] + 35) / 36);
    }
}

void pack_threshold(const uint8_t* grey, const uint8_t* threshold, int width, uint8_t* out)
{
    for (int x0 = 0; x0 < width; x0 += 8) {
        const int n = std::min(8, width - x0);
        unsigned byte = 0;
        for (int i = 0; i < n; ++i) byte |= static_cast<unsigned>(grey[x0 + i] >= threshold[x0 + i]) << (7 - i);
        out[x0 >> 3] = static_cast<uint8_t>(byte);
    }
}

// Three eighths of the error go right, three eighths below and a quarter below-right.
void diffuse_line(const uint8_t* grey, int width, int* current, int* next, uint8_t* out)
{
    for (int x = 0; x < width; ++x) {
        const int v = grey[x] + current[x];
        const int white = v >= 128;
        const int e = white ? v - 255 : v;
        next[x] += (3 * e) / 8;
        next[x + 1] += e / 4;
        current[x] = 0;
        current[x + 1] += (3 * e) / 8;
        out[x >> 3] = static_cast<uint8_t>(out[x >> 3] | (white << (7 - (x & 7))));
    }
    current[width] = 0;
}

}  // namespace

Status depth_to_bilevel(const SourceReader& source, int method, Picture* result)
{
    if (picture_alloc_like(result, PIXEL_BINARY, source.picture)) return STATUS_NO_MEMORY;
    const int width = source.width;
    const size_t row = static_cast<size_t>(width);
    Scratch<uint8_t> grey(row);
    if (!grey.ok()) return STATUS_NO_MEMORY;
    if (method == BILEVEL_DIFFUSION) {
        Scratch<int> errors(2 * (row + 1));
        if (!errors.ok()) return STATUS_NO_MEMORY;
        for (int y = 0; y < result->height; ++y) {
            source_grey_line(source, y, grey.get());
            int* current = errors.get() + (y & 1) * (row + 1);
            int* next = errors.get() + ((y + 1) & 1) * (row + 1);
            diffuse_line(grey.get(), width, current, next, picture_line(result, y));
        }
        return STATUS_OK;
    }
    const int rows = threshold_row_count(method);
    Scratch<uint8_t> thresholds(rows * row);
    if (!thresholds.ok()) return STATUS_NO_MEMORY;
    fill_thresholds(method, width, thresholds.get());
    for (int y = 0; y < result->height; ++y) {
        source_grey_line(source, y, grey.get());
        pack_threshold(grey.get(), thresholds.get() + (y % rows) * row, width, picture_line(result, y));
    }
    return STATUS_OK;
}
