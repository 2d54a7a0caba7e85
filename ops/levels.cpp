#include <algorithm>
#include <cstring>

#include "ops/colour.h"
#include "ops/rgb_runs.h"
#include "ops/pixel_check.h"
#include "ops/table_util.h"

namespace {

// Two sets of counters, taken by alternate values, so that runs of one value do not wait on
// their own increments.
void count_run(const uint8_t* values, size_t n, uint32_t (*twin)[256])
{
    size_t i = 0;
    for (; i + 2 <= n; i += 2) {
        ++twin[0][values[i]];
        ++twin[1][values[i + 1]];
    }
    if (i < n) ++twin[0][values[i]];
}

// Colour pixels: their luminance a stretch of line at a time, then counted.
void count_luminance(const Picture* p, uint32_t* counters)
{
    constexpr int stretch = 2048;
    uint8_t values[stretch];
    const RgbLayout layout{p->bytes_per_pixel, rgb_positions(p->type)};
    uint32_t twin[2][256] = {};
    for (int y = 0; y < p->height; ++y) {
        const uint8_t* line = picture_line(p, y);
        for (int x = 0; x < p->width; x += stretch) {
            const size_t n = static_cast<size_t>(std::min(stretch, p->width - x));
            luminance_run(line + static_cast<size_t>(x) * layout.pixel_bytes, values, n, layout);
            count_run(values, n, twin);
        }
    }
    for (int i = 0; i < 256; ++i) counters[i] = twin[0][i] + twin[1][i];
}

template <int PixelBytes>
void count_bytes(const Picture* p, uint32_t* counters)
{
    uint32_t twin[2][PixelBytes][256] = {};
    for (int y = 0; y < p->height; ++y) {
        const uint8_t* s = picture_line(p, y);
        int x = 0;
        for (; x + 2 <= p->width; x += 2, s += 2 * PixelBytes) {
            for (int k = 0; k < PixelBytes; ++k) {
                ++twin[0][k][s[k]];
                ++twin[1][k][s[PixelBytes + k]];
            }
        }
        if (x < p->width)
            for (int k = 0; k < PixelBytes; ++k) ++twin[0][k][s[k]];
    }
    for (int k = 0; k < PixelBytes; ++k)
        for (int i = 0; i < 256; ++i) counters[256 * k + i] = twin[0][k][i] + twin[1][k][i];
}

void count_bits(const Picture* p, uint32_t* counters)
{
    for (int y = 0; y < p->height; ++y) {
        const uint8_t* s = picture_line(p, y);
        for (int x = 0; x < p->width; ++x) ++counters[bit_get(s, x) ? 255 : 0];
    }
}

}  // namespace

void luminance_histogram(const Picture* picture, uint32_t counters[256])
{
    std::memset(counters, 0, 256 * sizeof(uint32_t));
    if (pixel_check_bytes(picture) != STATUS_OK) return;
    if (picture->type == PIXEL_BINARY) return count_bits(picture, counters);
    switch (picture->bytes_per_pixel) {
    case 1: {
        count_bytes<1>(picture, counters);
        // A grey picture of n levels is measured in grey values, the scale its tables work in.
        if (const int n = grey_level_count(picture)) {
            uint32_t by_level[256];
            std::copy(counters, counters + 256, by_level);
            std::memset(counters, 0, 256 * sizeof(uint32_t));
            for (int i = 0; i < 256; ++i) counters[std::min(i, n - 1) * 255 / (n - 1)] += by_level[i];
        }
        break;
    }
    case 2: {
        // No colour type has two bytes (a grey and alpha pair read as it is): the first counts.
        uint32_t both[512];
        count_bytes<2>(picture, both);
        std::copy(both, both + 256, counters);
        break;
    }
    default: count_luminance(picture, counters); break;
    }
}

void component_histograms(const Picture* picture, uint32_t counters[1024])
{
    std::memset(counters, 0, 1024 * sizeof(uint32_t));
    if (pixel_check_bytes(picture) != STATUS_OK) return;
    if (picture->type == PIXEL_BINARY) return count_bits(picture, counters);
    switch (picture->bytes_per_pixel) {
    case 1: count_bytes<1>(picture, counters); break;
    case 2: count_bytes<2>(picture, counters); break;
    case 3: count_bytes<3>(picture, counters); break;
    default: count_bytes<4>(picture, counters); break;
    }
}

ClipPoints histogram_clip_points(const uint32_t histogram[256], uint64_t pixel_count)
{
    const uint64_t threshold = pixel_count / 1000;
    ClipPoints c{255, 0};
    uint64_t sum = 0;
    for (int i = 0; i < 256; ++i)
        if ((sum += histogram[i]) > threshold) {
            c.low = i;
            break;
        }
    sum = 0;
    for (int i = 255; i >= 0; --i)
        if ((sum += histogram[i]) > threshold) {
            c.high = i;
            break;
        }
    if (c.low == c.high) {
        for (int i = 0; i < 256; ++i)
            if (histogram[i]) {
                c.low = i;
                break;
            }
        for (int i = 255; i >= 0; --i)
            if (histogram[i]) {
                c.high = i;
                break;
            }
    }
    return c;
}

namespace {

uint64_t pixel_count(const Picture* p) { return static_cast<uint64_t>(p->width) * static_cast<uint64_t>(p->height); }

// What both corrections refuse before measuring anything.
Status check_source(const Picture* source, const Rect* rect)
{
    LUM_TRY(pixel_check_bytes_not_bilevel(source));
    Rect r;
    return rect_clip(source, rect, &r);
}

}  // namespace

Status image_auto_contrast(Picture* source, Picture* destination, const Rect* rect)
{
    LUM_TRY(check_source(source, rect));
    uint32_t histogram[256];
    luminance_histogram(source, histogram);
    const ClipPoints c = histogram_clip_points(histogram, pixel_count(source));
    return image_adjust(source, destination, rect, 128 - (c.high + c.low) / 2, (c.low - c.high + 255) / 2, 1.0);
}

Status image_auto_levels(Picture* source, Picture* destination, const Rect* rect)
{
    LUM_TRY(check_source(source, rect));
    uint32_t histograms[1024];
    component_histograms(source, histograms);
    const int treated = source->bytes_per_pixel == 4 ? 3 : source->bytes_per_pixel;
    const int levels = grey_level_count(source);
    uint8_t tables[3 * TABLE_SIZE];
    for (int k = 0; k < 3; ++k) {
        uint8_t* table = tables + TABLE_SIZE * k;
        const ClipPoints c = k < treated ? histogram_clip_points(histograms + 256 * k, pixel_count(source))
                                         : ClipPoints{0, 255};  // identity, never read
        for (int v = 0; v < TABLE_SIZE; ++v) {
            int out;
            if (v < c.low) out = 0;
            else if (v > c.high) out = 255;
            else if (c.high != c.low) out = (v * 255 - c.low * 255) / (c.high - c.low);
            // A single value is kept; a level number becomes the grey value the result stands for.
            else out = levels ? std::min(v, levels - 1) * 255 / (levels - 1) : v;
            table[v] = static_cast<uint8_t>(out);
        }
    }
    if (treated == 1 && source->type == PIXEL_COLORS) {
        std::memcpy(tables + TABLE_SIZE, tables, TABLE_SIZE);
        std::memcpy(tables + 2 * TABLE_SIZE, tables, TABLE_SIZE);
    }
    LUM_TRY(apply_tables(source, destination, rect, tables));
    mark_full_range(destination ? destination : source);
    return STATUS_OK;
}
