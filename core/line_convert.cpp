#include "core/line_convert.h"

#include "core/cpu.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define LUMEVA_HAVE_SSSE3_PATH 1
#endif

namespace {

inline uint8_t scale_bits(unsigned v, unsigned max) { return static_cast<uint8_t>(v * 255u / max); }

inline uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// --- unpackers ------------------------------------------------------------------------------

void unpack_copy_bits(const LineLayout& l, const uint8_t* in, uint8_t* out)
{
    std::memcpy(out, in, static_cast<size_t>((l.width + 7) / 8));
}

void unpack_pack_bytes_to_bits(const LineLayout& l, const uint8_t* in, uint8_t* out)
{
    std::memset(out, 0, static_cast<size_t>((l.width + 7) / 8));
    for (int x = 0; x < l.width; ++x)
        if (in[x] & 1) out[x >> 3] = static_cast<uint8_t>(out[x >> 3] | (0x80 >> (x & 7)));
}

void unpack_interleaved_planes(const LineLayout& l, const uint8_t* in, uint8_t* out)
{
    const int groups = (l.width + 15) / 16;
    for (int g = 0; g < groups; ++g) {
        const uint8_t* words = in + static_cast<size_t>(g) * l.planes * 2;
        const int n = std::min(16, l.width - g * 16);
        for (int i = 0; i < n; ++i) {
            unsigned index = 0;
            for (int p = 0; p < l.planes; ++p) {
                const unsigned word = static_cast<unsigned>(words[2 * p] << 8 | words[2 * p + 1]);
                index |= ((word >> (15 - i)) & 1u) << p;
            }
            out[g * 16 + i] = static_cast<uint8_t>(index);
        }
    }
}

void unpack_plane_copy(const LineLayout& l, const uint8_t* in, uint8_t* out)
{
    std::memcpy(out, in, static_cast<size_t>(l.bytes_per_plane_line));
}

void unpack_bit_planes(const LineLayout& l, const uint8_t* in, uint8_t* out)
{
    std::memset(out, 0, static_cast<size_t>(l.width));
    for (int p = 0; p < l.planes; ++p) {
        const uint8_t* plane = in + static_cast<size_t>(p) * l.bytes_per_plane_line;
        for (int x = 0; x < l.width; ++x)
            out[x] = static_cast<uint8_t>(out[x] | (((plane[x >> 3] >> (7 - (x & 7))) & 1) << p));
    }
}

// Planes of 2 or 4 bits (PCX has both): plane p holds bits p x bits and up of each index.
void unpack_multi_bit_planes(const LineLayout& l, const uint8_t* in, uint8_t* out)
{
    const int bits = l.bits;
    const unsigned mask = (1u << bits) - 1;
    std::memset(out, 0, static_cast<size_t>(l.width));
    for (int p = 0; p < l.planes; ++p) {
        const uint8_t* plane = in + static_cast<size_t>(p) * l.bytes_per_plane_line;
        for (int x = 0; x < l.width; ++plane) {
            const unsigned byte = *plane;
            for (int shift = 8 - bits; shift >= 0 && x < l.width; shift -= bits, ++x)
                out[x] = static_cast<uint8_t>(out[x] | ((byte >> shift) & mask) << (p * bits));
        }
    }
}

void unpack_three_planes(const LineLayout& l, const uint8_t* in, uint8_t* out)
{
    const bool reversed = l.flags & LAYOUT_REVERSED;
    const size_t stride = static_cast<size_t>(l.bytes_per_plane_line);
    const uint8_t* r = in + (reversed ? 2 * stride : 0);
    const uint8_t* g = in + stride;
    const uint8_t* b = in + (reversed ? 0 : 2 * stride);
    for (int x = 0; x < l.width; ++x) {
        out[3 * x] = r[x];
        out[3 * x + 1] = g[x];
        out[3 * x + 2] = b[x];
    }
}

void unpack_four_planes(const LineLayout& l, const uint8_t* in, uint8_t* out)
{
    const size_t s = static_cast<size_t>(l.bytes_per_plane_line);
    int order[4] = {0, 1, 2, 3};  // file plane holding R, G, B, A
    if (l.flags & LAYOUT_REVERSED) {
        order[0] = 3; order[1] = 2; order[2] = 1; order[3] = 0;
    } else if (l.flags & LAYOUT_ALPHA_FIRST) {
        order[0] = 1; order[1] = 2; order[2] = 3; order[3] = 0;
    }
    for (int c = 0; c < 4; ++c) {
        const uint8_t* plane = in + static_cast<size_t>(order[c]) * s;
        for (int x = 0; x < l.width; ++x) out[4 * x + c] = plane[x];
    }
}

void unpack_small_samples(const LineLayout& l, const uint8_t* in, uint8_t* out)
{
    const int bits = l.bits;
    const int per_byte = 8 / bits;
    const unsigned mask = (1u << bits) - 1;
    for (int x = 0; x < l.width; ++x) {
        const int shift = 8 - bits * (x % per_byte + 1);
        out[x] = static_cast<uint8_t>((in[x / per_byte] >> shift) & mask);
    }
}

void unpack_copy_bytes(const LineLayout& l, const uint8_t* in, uint8_t* out)
{
    std::memcpy(out, in, static_cast<size_t>(l.width));
}

// One byte a pixel of a 1-bit file: only the low bit counts.
void unpack_low_bits(const LineLayout& l, const uint8_t* in, uint8_t* out)
{
    for (int x = 0; x < l.width; ++x) out[x] = in[x] & 1;
}

void unpack_12(const LineLayout& l, const uint8_t* in, uint8_t* out)
{
    for (int x = 0; x < l.width; ++x) {
        const uint8_t* p = in + (x / 2) * 3;
        // Nibbles R, G, B, R, G, B over three bytes, high nibble first.
        for (int c = 0; c < 3; ++c) {
            const int nibble = (x % 2) * 3 + c;
            const unsigned v = nibble % 2 == 0 ? p[nibble / 2] >> 4 : p[nibble / 2] & 15u;
            out[3 * x + c] = scale_bits(v, 15);
        }
    }
}

void unpack_15(const LineLayout& l, const uint8_t* in, uint8_t* out)
{
    const bool swap = l.flags & LAYOUT_15_RED_LOW;
    for (int x = 0; x < l.width; ++x) {
        const unsigned v = le16(in + 2 * x);
        const uint8_t r = scale_bits((v >> 10) & 31, 31), g = scale_bits((v >> 5) & 31, 31), b = scale_bits(v & 31, 31);
        out[3 * x] = swap ? b : r;
        out[3 * x + 1] = g;
        out[3 * x + 2] = swap ? r : b;
    }
}

template <int RS, int RM, int GS, int GM, int BS, int BM>
void unpack_16(const LineLayout& l, const uint8_t* in, uint8_t* out)
{
    for (int x = 0; x < l.width; ++x) {
        const unsigned v = le16(in + 2 * x);
        out[3 * x] = scale_bits((v >> RS) & RM, RM);
        out[3 * x + 1] = scale_bits((v >> GS) & GM, GM);
        out[3 * x + 2] = scale_bits((v >> BS) & BM, BM);
    }
}

void unpack_24(const LineLayout& l, const uint8_t* in, uint8_t* out)
{
    std::memcpy(out, in, static_cast<size_t>(l.width) * 3);
}

#if defined(LUMEVA_HAVE_SSSE3_PATH)
// Five pixels per shuffle; the sixteenth byte is rewritten by the next step.
__attribute__((target("ssse3"))) int swap_rb_ssse3(const uint8_t* in, uint8_t* out, int width)
{
    const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
    int x = 0;
    for (; x + 6 <= width; x += 5) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 3 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * x), _mm_shuffle_epi8(v, order));
    }
    return x;
}

#endif

// R, G, B into B, G, R and back: the most common conversion of all (BMP, Targa, Windows screens).
void swap_red_blue(const uint8_t* in, uint8_t* out, int width)
{
    int x = 0;
#if defined(LUMEVA_HAVE_SSSE3_PATH)
    if (cpu_has_ssse3()) x = swap_rb_ssse3(in, out, width);
#endif
    for (; x < width; ++x) {
        out[3 * x] = in[3 * x + 2];
        out[3 * x + 1] = in[3 * x + 1];
        out[3 * x + 2] = in[3 * x];
    }
}

void unpack_24_reversed(const LineLayout& l, const uint8_t* in, uint8_t* out) { swap_red_blue(in, out, l.width); }

// Four-byte pixels: I0..I3 are the file bytes holding R, G, B, A.
template <int I0, int I1, int I2, int I3>
void unpack_32(const LineLayout& l, const uint8_t* in, uint8_t* out)
{
    for (int x = 0; x < l.width; ++x) {
        const uint8_t* p = in + 4 * x;
        out[4 * x] = p[I0];
        out[4 * x + 1] = p[I1];
        out[4 * x + 2] = p[I2];
        out[4 * x + 3] = p[I3];
    }
}


// Component files: `components` samples of `bits` bits each; samples above 8 bits are 16-bit
// little-endian words, brought to 8 bits with rounding.
void unpack_components(const LineLayout& l, const uint8_t* in, uint8_t* out)
{
    const int c = l.components;
    const size_t n = static_cast<size_t>(l.width) * c;
    uint8_t* samples = out;
    const bool grey_alpha = c == 2;
    if (l.bits > 8) {
        const unsigned max = l.bits >= 16 ? 65535u : (1u << l.bits) - 1;
        for (size_t i = 0; i < n; ++i) {
            unsigned v = le16(in + 2 * i);
            if (v > max) v = max;
            samples[i] = static_cast<uint8_t>((v * 255u + max / 2) / max);
        }
    } else if (l.bits == 8) {
        std::memcpy(samples, in, n);
    } else {
        LineLayout small = l;
        small.width = static_cast<int>(n);
        unpack_small_samples(small, in, samples);
        const unsigned max = (1u << l.bits) - 1;
        for (size_t i = 0; i < n; ++i) samples[i] = scale_bits(samples[i], max);
    }
    if (c > 4) {
        // Only the first four samples of each pixel are kept.
        for (int x = 0; x < l.width; ++x)
            for (int k = 0; k < 4; ++k) out[4 * x + k] = samples[static_cast<size_t>(x) * c + k];
    }
    if (grey_alpha) {
        // Grey and alpha become R = G = B = grey, A; walk backwards to widen in place.
        for (int x = l.width - 1; x >= 0; --x) {
            const uint8_t g = samples[2 * x], a = samples[2 * x + 1];
            out[4 * x] = out[4 * x + 1] = out[4 * x + 2] = g;
            out[4 * x + 3] = a;
        }
    }
}

// --- stores ---------------------------------------------------------------------------------

void store_copy_bits(const StoreSpec& s, const uint8_t* in, uint8_t* row)
{
    std::memcpy(row, in, static_cast<size_t>((s.width + 7) / 8));
}

void store_copy_bytes(const StoreSpec& s, const uint8_t* in, uint8_t* row)
{
    std::memcpy(row, in, static_cast<size_t>(s.width));
}

void store_copy_native(const StoreSpec& s, const uint8_t* in, uint8_t* row)
{
    std::memcpy(row, in, static_cast<size_t>(s.native_bytes));
}

void store_copy_rgb(const StoreSpec& s, const uint8_t* in, uint8_t* row)
{
    std::memcpy(row, in, static_cast<size_t>(s.width) * 3);
}

void store_copy_rgba(const StoreSpec& s, const uint8_t* in, uint8_t* row)
{
    std::memcpy(row, in, static_cast<size_t>(s.width) * 4);
}

template <int BPP>
void store_index(const StoreSpec& s, const uint8_t* in, uint8_t* row)
{
    const int at = channel_positions(BPP, s.channel_order).r;
    std::memset(row, 0, static_cast<size_t>(s.width) * BPP);
    for (int x = 0; x < s.width; ++x) row[BPP * x + at] = in[x];
}

// From IN-byte samples (R, G, B[, A]) to OUT-byte pixels of the requested order.
template <int IN, int OUT>
void store_colour(const StoreSpec& s, const uint8_t* in, uint8_t* row)
{
    const ChannelPositions p = channel_positions(OUT, s.channel_order);
    for (int x = 0; x < s.width; ++x) {
        const uint8_t* q = in + IN * x;
        uint8_t* o = row + OUT * x;
        o[p.r] = q[0];
        o[p.g] = q[1];
        o[p.b] = q[2];
        if constexpr (OUT == 4) o[p.a] = IN == 4 ? q[3] : s.default_alpha;
    }
}

// The common photo case, R, G, B into B, G, R.
void store_rgb_to_bgr(const StoreSpec& s, const uint8_t* in, uint8_t* row) { swap_red_blue(in, row, s.width); }

}  // namespace

ChannelPositions channel_positions(int bytes_per_pixel, int channel_order)
{
    if (bytes_per_pixel == 3) return channel_order == 0 ? ChannelPositions{0, 1, 2, -1} : ChannelPositions{2, 1, 0, -1};
    switch (channel_order) {
    case 0: return {0, 1, 2, 3};  // R, G, B, A
    case 1: return {3, 2, 1, 0};  // A, B, G, R
    case 3: return {1, 2, 3, 0};  // A, R, G, B
    default: return {2, 1, 0, 3}; // B, G, R, A
    }
}

int64_t line_input_bytes(const LineLayout& l)
{
    const int64_t w = l.width;
    if (l.components >= 1) return (l.bits + 7) / 8 * int64_t{l.components} * w;
    if (l.flags & LAYOUT_PLANAR) return l.bytes_per_plane_line;
    if (l.flags & LAYOUT_INTERLEAVED_PLANES) return (w + 15) / 16 * 2 * l.planes;
    return int64_t{l.planes} * l.bytes_per_plane_line;
}

int64_t plane_line_bytes_needed(const LineLayout& l)
{
    const int64_t w = l.width;
    if (!(l.flags & LAYOUT_PLANAR) && l.planes == 1) {
        if (l.bits == 12) return (w + 1) / 2 * 3;
        if (l.bits == 15 || l.bits == 16) return 2 * w;
        if (l.bits <= 8 && (l.flags & LAYOUT_BYTE_PER_PIXEL)) return w;
    }
    return (w * l.bits + 7) / 8;
}

int sample_bytes(SampleKind kind, const LineLayout& l)
{
    switch (kind) {
    case SAMPLES_BITS: return 0;
    case SAMPLES_BYTE: return 1;
    case SAMPLES_RGB: return 3;
    case SAMPLES_RGBA: return 4;
    case SAMPLES_RAW: return (l.bits + 7) / 8 * std::max(l.components, 1);
    case SAMPLES_PLANE: return 1;
    }
    return 1;
}

LineUnpacker line_unpacker_for(const LineLayout& l, bool bilevel_result, SampleKind* kind)
{
    const uint32_t f = l.flags;
    const int total = l.planes * l.bits;
    if (l.components >= 1 && !(total <= 8 && l.components == 1 && l.planes == 1)) {
        // Deep and native files.
        *kind = l.components == 1 ? SAMPLES_BYTE : l.components == 3 ? SAMPLES_RGB : SAMPLES_RGBA;
        return unpack_components;
    }
    if (l.planes == 1 && l.bits == 1 && bilevel_result) {
        *kind = SAMPLES_BITS;
        return (f & LAYOUT_BYTE_PER_PIXEL) ? unpack_pack_bytes_to_bits : unpack_copy_bits;
    }
    if (f & LAYOUT_INTERLEAVED_PLANES) {
        *kind = SAMPLES_BYTE;
        return unpack_interleaved_planes;
    }
    if (f & LAYOUT_PLANAR) {
        *kind = SAMPLES_PLANE;
        return unpack_plane_copy;
    }
    if (l.planes > 1) {
        if (total <= 8) {
            *kind = SAMPLES_BYTE;
            if (l.bits == 1) return unpack_bit_planes;
            return l.bits == 2 || l.bits == 4 ? unpack_multi_bit_planes : nullptr;
        }
        if (l.planes == 3 && l.bits == 8) {
            *kind = SAMPLES_RGB;
            return unpack_three_planes;
        }
        if (l.planes == 4 && l.bits == 8) {
            *kind = SAMPLES_RGBA;
            return unpack_four_planes;
        }
        return nullptr;
    }
    switch (l.bits) {
    case 1:
        *kind = SAMPLES_BYTE;
        return (f & LAYOUT_BYTE_PER_PIXEL) ? unpack_low_bits : unpack_small_samples;
    case 2: case 4:
        *kind = SAMPLES_BYTE;
        return (f & LAYOUT_BYTE_PER_PIXEL) ? unpack_copy_bytes : unpack_small_samples;
    case 3: case 5: case 6: case 7:
        // Depths that do not divide a byte come only as a byte a pixel (IFF planes, XPM indices,
        // GIF's odd table sizes).
        *kind = SAMPLES_BYTE;
        return (f & LAYOUT_BYTE_PER_PIXEL) ? unpack_copy_bytes : nullptr;
    case 8:
        *kind = SAMPLES_BYTE;
        return unpack_copy_bytes;
    case 12:
        *kind = SAMPLES_RGB;
        return unpack_12;
    case 15:
        *kind = SAMPLES_RGB;
        return unpack_15;
    case 16:
        *kind = SAMPLES_RGB;
        if (f & LAYOUT_444_HIGH) return unpack_16<12, 15, 8, 15, 4, 15>;
        if (f & LAYOUT_444_LOW) return unpack_16<8, 15, 4, 15, 0, 15>;
        if (f & LAYOUT_565) return unpack_16<11, 31, 5, 63, 0, 31>;
        if (f & LAYOUT_555_GREEN_6) return unpack_16<11, 31, 6, 31, 0, 31>;
        if (f & LAYOUT_555_HIGH) return unpack_16<11, 31, 5, 31, 0, 31>;
        return unpack_15;
    case 24:
        *kind = SAMPLES_RGB;
        return (f & (LAYOUT_REVERSED | LAYOUT_BGRA)) ? unpack_24_reversed : unpack_24;
    case 32:
        *kind = SAMPLES_RGBA;
        if (f & LAYOUT_REVERSED) return unpack_32<3, 2, 1, 0>;
        if (f & LAYOUT_ALPHA_FIRST) return unpack_32<1, 2, 3, 0>;
        if (f & LAYOUT_BGRA) return unpack_32<2, 1, 0, 3>;
        return unpack_32<0, 1, 2, 3>;
    default:
        return nullptr;
    }
}

bool line_unpacker_copies(LineUnpacker u)
{
    return u == unpack_copy_bits || u == unpack_copy_bytes || u == unpack_24 || u == unpack_32<0, 1, 2, 3>;
}

LineStore line_store_for(const StoreSpec& s)
{
    switch (s.target) {
    case STORE_BILEVEL: return store_copy_bits;
    case STORE_NATIVE: return store_copy_native;
    case STORE_BYTE: return s.source == SAMPLES_BYTE ? store_copy_bytes : nullptr;
    case STORE_THREE:
        if (s.source == SAMPLES_BYTE) return store_index<3>;
        if (s.source == SAMPLES_RGB) return s.channel_order == 0 ? store_copy_rgb : store_rgb_to_bgr;
        if (s.source == SAMPLES_RGBA) return store_colour<4, 3>;
        return nullptr;
    case STORE_FOUR:
        if (s.source == SAMPLES_BYTE) return store_index<4>;
        if (s.source == SAMPLES_RGB) return store_colour<3, 4>;
        if (s.source == SAMPLES_RGBA) return s.channel_order == 0 ? store_copy_rgba : store_colour<4, 4>;
        return nullptr;
    }
    return nullptr;
}

bool line_store_copies(const StoreSpec& s)
{
    switch (s.target) {
    case STORE_BILEVEL: return true;
    case STORE_BYTE: return s.source == SAMPLES_BYTE;
    case STORE_THREE: return s.source == SAMPLES_RGB && s.channel_order == 0;
    case STORE_FOUR: return s.source == SAMPLES_RGBA && s.channel_order == 0;
    default: return false;
    }
}

void store_plane_bits(const uint8_t* plane_line, uint8_t* row, int width, int plane)
{
    if (plane == 0) std::memset(row, 0, static_cast<size_t>(width));
    for (int x = 0; x < width; ++x)
        row[x] = static_cast<uint8_t>(row[x] | (((plane_line[x >> 3] >> (7 - (x & 7))) & 1) << plane));
}

void store_plane_bytes(const uint8_t* plane_line, uint8_t* row, int width, int offset, int bytes_per_pixel)
{
    for (int x = 0; x < width; ++x) row[static_cast<size_t>(x) * bytes_per_pixel + offset] = plane_line[x];
}

void reverse_line(uint8_t* line, int count, int pixel_bytes)
{
    if (pixel_bytes == 0) {
        for (int i = 0, j = count - 1; i < j; ++i, --j) {
            const int a = (line[i >> 3] >> (7 - (i & 7))) & 1, b = (line[j >> 3] >> (7 - (j & 7))) & 1;
            if (a == b) continue;
            line[i >> 3] = static_cast<uint8_t>(line[i >> 3] ^ (0x80 >> (i & 7)));
            line[j >> 3] = static_cast<uint8_t>(line[j >> 3] ^ (0x80 >> (j & 7)));
        }
        return;
    }
    for (int i = 0, j = count - 1; i < j; ++i, --j)
        for (int k = 0; k < pixel_bytes; ++k)
            std::swap(line[static_cast<size_t>(i) * pixel_bytes + k], line[static_cast<size_t>(j) * pixel_bytes + k]);
}

int palette_bytes(uint32_t kind, int entries)
{
    const uint32_t layout = kind & ~PALETTE_NEGATIVE;
    int entry = 3;
    if (layout & (PALETTE_ATARI | PALETTE_ATARI_STE | PALETTE_444)) entry = 2;
    else if (layout & PALETTE_PLANES_16) entry = 6;
    else if (layout & (PALETTE_RGBX | PALETTE_XBGR | PALETTE_BGRX)) entry = 4;
    return entry * std::clamp(entries, 0, 256);
}

void palette_to_map(uint32_t kind, int bits, const uint8_t* pal, int entries, uint8_t map[1024])
{
    entries = std::clamp(entries, 0, 256);
    const unsigned max = bits >= 1 && bits < 8 ? (1u << bits) - 1 : 255u;
    auto scaled = [&](unsigned v) { return max == 255u ? static_cast<uint8_t>(v) : static_cast<uint8_t>(std::min(v, max) * 255u / max); };
    auto put = [&](int i, unsigned r, unsigned g, unsigned b) {
        map[i] = static_cast<uint8_t>(r);
        map[256 + i] = static_cast<uint8_t>(g);
        map[512 + i] = static_cast<uint8_t>(b);
    };
    const uint32_t layout = kind & ~PALETTE_NEGATIVE;
    for (int i = 0; i < entries; ++i) {
        const uint8_t* e3 = pal + 3 * i;
        const uint8_t* e4 = pal + 4 * i;
        const unsigned word = static_cast<unsigned>(pal[2 * i] << 8 | pal[2 * i + 1]);
        if (layout & PALETTE_ATARI) {
            put(i, scale_bits((word >> 8) & 7, 7), scale_bits((word >> 4) & 7, 7), scale_bits(word & 7, 7));
        } else if (layout & PALETTE_ATARI_STE) {
            const unsigned r = ((word >> 8) & 7) * 2 + ((word >> 11) & 1);
            const unsigned g = ((word >> 4) & 7) * 2 + ((word >> 7) & 1);
            const unsigned b = (word & 7) * 2 + ((word >> 3) & 1);
            put(i, scale_bits(r, 15), scale_bits(g, 15), scale_bits(b, 15));
        } else if (layout & PALETTE_444) {
            put(i, scale_bits((word >> 8) & 15, 15), scale_bits((word >> 4) & 15, 15), scale_bits(word & 15, 15));
        } else if (layout & PALETTE_PLANES_16) {
            continue;  // whole tables, below
        } else if (layout & PALETTE_RGBX) {
            put(i, scaled(e4[0]), scaled(e4[1]), scaled(e4[2]));
            map[768 + i] = e4[3];
        } else if (layout & PALETTE_XBGR) {
            put(i, scaled(e4[3]), scaled(e4[2]), scaled(e4[1]));
            map[768 + i] = e4[0];
        } else if (layout & PALETTE_BGRX) {
            put(i, scaled(e4[2]), scaled(e4[1]), scaled(e4[0]));
            map[768 + i] = e4[3];
        } else if (layout & PALETTE_BGR) {
            put(i, scaled(e3[2]), scaled(e3[1]), scaled(e3[0]));
        } else {
            put(i, scaled(e3[0]), scaled(e3[1]), scaled(e3[2]));
        }
    }
    if (layout & PALETTE_PLANES_16) {
        // Host-order 16-bit values, all reds, then all greens, then all blues (blues first with
        // PALETTE_BGR). Tables of 16-bit values use their high bytes when any value is above 255, else scale.
        bool wide = false;
        for (int i = 0; i < 3 * entries; ++i) wide |= le16(pal + 2 * i) > 255;
        for (int i = 0; i < entries; ++i)
            for (int c = 0; c < 3; ++c) {
                const int plane = (layout & PALETTE_BGR) ? 2 - c : c;
                const unsigned v = le16(pal + 2 * (plane * entries + i));
                map[256 * c + i] = wide ? static_cast<uint8_t>(v >> 8) : scaled(v);
            }
    }
}
