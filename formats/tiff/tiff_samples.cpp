#include "formats/tiff/tiff_samples.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

uint16_t get16(const uint8_t* p, bool big) { return big ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]); }
void put16(uint8_t* p, uint16_t v, bool big)
{
    p[big ? 0 : 1] = static_cast<uint8_t>(v >> 8);
    p[big ? 1 : 0] = static_cast<uint8_t>(v);
}
uint32_t get32(const uint8_t* p, bool big)
{
    return big ? uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]
               : uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}
void put32(uint8_t* p, uint32_t v, bool big)
{
    for (int i = 0; i < 4; ++i) p[big ? 3 - i : i] = static_cast<uint8_t>(v >> (8 * i));
}

uint8_t clamp_byte(float v) { return v <= 0.0f ? 0 : v >= 255.0f ? 255 : static_cast<uint8_t>(v + 0.5f); }
uint8_t unit_to_byte(double v) { return v <= 0.0 ? 0 : v >= 1.0 ? 255 : static_cast<uint8_t>(v * 255.0 + 0.5); }

}  // namespace

void tiff_undo_predictor(int predictor, const SampleFormat& f, uint8_t* row, int pixels, bool* now_big_endian)
{
    *now_big_endian = f.big_endian;
    const size_t n = static_cast<size_t>(pixels) * static_cast<size_t>(f.samples);
    const size_t stride = static_cast<size_t>(f.samples);
    if (predictor == 2) {
        if (f.bits == 8 && stride == 3) {
            // The running sums stay in registers rather than being read back from the row.
            uint8_t r = row[0], g = row[1], b = row[2];
            for (size_t i = 3; i + 2 < n; i += 3) {
                r = static_cast<uint8_t>(r + row[i]);
                g = static_cast<uint8_t>(g + row[i + 1]);
                b = static_cast<uint8_t>(b + row[i + 2]);
                row[i] = r;
                row[i + 1] = g;
                row[i + 2] = b;
            }
        } else if (f.bits == 8 && stride == 1) {
            uint8_t v = row[0];
            for (size_t i = 1; i < n; ++i) row[i] = v = static_cast<uint8_t>(v + row[i]);
        } else if (f.bits == 8) {
            for (size_t i = stride; i < n; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - stride]);
        } else if (f.bits == 16) {
            for (size_t i = stride; i < n; ++i)
                put16(row + 2 * i, static_cast<uint16_t>(get16(row + 2 * i, f.big_endian) + get16(row + 2 * (i - stride), f.big_endian)), f.big_endian);
        } else if (f.bits == 32) {
            for (size_t i = stride; i < n; ++i)
                put32(row + 4 * i, get32(row + 4 * i, f.big_endian) + get32(row + 4 * (i - stride), f.big_endian), f.big_endian);
        } else if (f.bits * f.samples <= 8) {
            // Packed pixels have no defined differencing; whole bytes are summed.
            const size_t bytes = (n * static_cast<size_t>(f.bits) + 7) / 8;
            for (size_t i = 1; i < bytes; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - 1]);
        }
        return;
    }
    if (predictor == 3 && f.floating && f.bits % 8 == 0 && f.bits <= 64) {
        // Bytes were differenced across the row, then stored as planes of equal significance.
        const size_t width = static_cast<size_t>(f.bits / 8);
        const size_t bytes = n * width;
        for (size_t i = stride; i < bytes; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - stride]);
        std::vector<uint8_t> planes(row, row + bytes);
        for (size_t j = 0; j < n; ++j)
            for (size_t b = 0; b < width; ++b) row[j * width + b] = planes[b * n + j];
        *now_big_endian = true;
    }
}

uint8_t SampleReader::operator()(const uint8_t* row, size_t i) const
{
    switch (f.bits) {
    case 8: return row[i];
    case 16: return f.big_endian ? row[2 * i] : row[2 * i + 1];
    case 24: return f.big_endian ? row[3 * i] : row[3 * i + 2];
    case 32:
        if (f.floating) {
            const uint32_t bits = get32(row + 4 * i, f.big_endian);
            float v;
            std::memcpy(&v, &bits, 4);
            return unit_to_byte(v);
        }
        return f.big_endian ? row[4 * i] : row[4 * i + 3];
    case 64: {
        const uint8_t* p = row + 8 * i;
        const uint64_t hi = get32(p, f.big_endian), lo = get32(p + 4, f.big_endian);
        const uint64_t bits = f.big_endian ? hi << 32 | lo : lo << 32 | hi;
        if (!f.floating) return static_cast<uint8_t>(bits >> 56);
        double v;
        std::memcpy(&v, &bits, 8);
        return unit_to_byte(v);
    }
    default: break;
    }
    // Other depths are a stream of bits, most significant first, whatever the byte order.
    if (f.bits < 1 || f.bits > 32) return 0;
    const uint64_t bit = static_cast<uint64_t>(i) * static_cast<uint64_t>(f.bits);
    const uint8_t* p = row + bit / 8;
    const int used = static_cast<int>(bit % 8) + f.bits;
    uint64_t window = 0;
    for (int k = 0; k < (used + 7) / 8; ++k) window = window << 8 | p[k];
    const uint64_t v = (window >> ((used + 7) / 8 * 8 - used)) & ((uint64_t{1} << f.bits) - 1);
    const uint64_t max = (uint64_t{1} << f.bits) - 1;
    return static_cast<uint8_t>(v * 255 / max);
}

void tiff_pick_channels(const SampleFormat& f, const uint8_t* row, int pixels, const int* pick, int channels, uint8_t* out)
{
    const size_t s = static_cast<size_t>(f.samples);
    bool identity = f.bits == 8 && static_cast<int>(s) == channels;
    for (int c = 0; c < channels && identity; ++c) identity = pick[c] == c;
    if (identity) {
        std::memcpy(out, row, static_cast<size_t>(pixels) * s);
        return;
    }
    if (f.bits == 8) {
        for (int x = 0; x < pixels; ++x, row += s, out += channels)
            for (int c = 0; c < channels; ++c) out[c] = row[pick[c]];
        return;
    }
    const SampleReader read(f);
    for (int x = 0; x < pixels; ++x, out += channels)
        for (int c = 0; c < channels; ++c) out[c] = read(row, static_cast<size_t>(x) * s + static_cast<size_t>(pick[c]));
}

void YCbCrConverter::init(const double k[3], const double ref[6])
{
    double lr = k[0], lg = k[1], lb = k[2];
    if (lg <= 0 || lr < 0 || lb < 0) {
        lr = 0.299;
        lg = 0.587;
        lb = 0.114;
    }
    auto span = [](double black, double white, double full) { return white != black ? full / (white - black) : 1.0; };
    const double ys = span(ref[0], ref[1], 255.0), cbs = span(ref[2], ref[3], 127.0), crs = span(ref[4], ref[5], 127.0);
    for (int i = 0; i < 256; ++i) {
        const double cb = (i - ref[2]) * cbs, cr = (i - ref[4]) * crs;
        y_scale[i] = static_cast<float>((i - ref[0]) * ys);
        cr_red[i] = static_cast<float>(cr * (2 - 2 * lr));
        cb_blue[i] = static_cast<float>(cb * (2 - 2 * lb));
        cr_green[i] = static_cast<float>(-(lr / lg) * cr * (2 - 2 * lr));
        cb_green[i] = static_cast<float>(-(lb / lg) * cb * (2 - 2 * lb));
    }
}

void YCbCrConverter::to_rgb(int y, int cb, int cr, uint8_t* rgb) const
{
    const float l = y_scale[y];
    rgb[0] = clamp_byte(l + cr_red[cr]);
    rgb[1] = clamp_byte(l + cr_green[cr] + cb_green[cb]);
    rgb[2] = clamp_byte(l + cb_blue[cb]);
}

void YCbCrConverter::row(const uint8_t* in, int pixels, uint8_t* out) const
{
    for (int x = 0; x < pixels; ++x, in += 3, out += 3) to_rgb(in[0], in[1], in[2], out);
}

void YCbCrConverter::blocks(const uint8_t* in, int h, int v, int pixels, int rows, uint8_t* const* out) const
{
    const int block = h * v + 2;
    for (int bx = 0; bx * h < pixels; ++bx, in += block) {
        const int cb = in[h * v], cr = in[h * v + 1];
        for (int j = 0; j < v && j < rows; ++j)
            for (int i = 0; i < h; ++i) {
                const int x = bx * h + i;
                if (x < pixels) to_rgb(in[j * h + i], cb, cr, out[j] + 3 * x);
            }
    }
}
