#include "ops/rgb_runs.h"

#include <algorithm>

#include "ops/simd.h"

void luminance_run_portable(const uint8_t* from, uint8_t* out, size_t pixels, const RgbLayout& layout)
{
    const size_t pb = layout.pixel_bytes;
    const RgbPositions at = layout.at;
    for (size_t i = 0; i < pixels; ++i, from += pb) out[i] = static_cast<uint8_t>(luminance(from[at.red], from[at.green], from[at.blue]));
}

void sepia_run_portable(const uint8_t* from, uint8_t* to, size_t pixels, const RgbLayout& layout, uint8_t red_lift,
                        uint8_t green_lift)
{
    const size_t pb = layout.pixel_bytes;
    const RgbPositions at = layout.at;
    const int alpha = 6 - at.red - at.green - at.blue;  // the byte that is none of the three
    for (size_t i = 0; i < pixels; ++i, from += pb, to += pb) {
        const int l = luminance(from[at.red], from[at.green], from[at.blue]);
        if (pb == 4) to[alpha] = from[alpha];
        to[at.red] = static_cast<uint8_t>(std::min(l + red_lift, 255));
        to[at.green] = static_cast<uint8_t>(std::min(l + green_lift, 255));
        to[at.blue] = static_cast<uint8_t>(l);
    }
}

#ifdef LUMEVA_AVX512

namespace {

// Blocks of 64 pixels: 3 or 4 vectors of bytes in, one vector per component (a plane) inside.
struct Shuffles {
    int pb;
    __m512i gather[3];      // per component: where each pixel's byte lies in the block (low 7 bits)
    __mmask64 upper[3];     // per component: pixels whose byte lies past the block's first 128
    __m512i scatter_rg[4];  // per output vector: red (0..63) or green (64..127) plane entry
    __m512i scatter_b[4];   // per output vector: blue plane entry
    __mmask64 is_blue[4];
    __mmask64 is_other[4];  // the fourth byte, kept from the input
};

LUMEVA_TARGET_VBMI Shuffles make_shuffles(const RgbLayout& layout)
{
    Shuffles s{};
    s.pb = layout.pixel_bytes;
    const int pos[3] = {layout.at.red, layout.at.green, layout.at.blue};
    alignas(64) uint8_t idx[64];
    for (int c = 0; c < 3; ++c) {
        for (int p = 0; p < 64; ++p) {
            const int x = p * s.pb + pos[c];
            idx[p] = static_cast<uint8_t>(x & 127);
            if (x >= 128) s.upper[c] |= __mmask64{1} << p;
        }
        s.gather[c] = _mm512_load_si512(idx);
    }
    alignas(64) uint8_t rg[64], b[64];
    for (int v = 0; v < s.pb; ++v) {
        for (int j = 0; j < 64; ++j) {
            const int x = 64 * v + j, p = x / s.pb, c = x % s.pb;
            rg[j] = static_cast<uint8_t>(c == pos[1] ? 64 + p : p);
            b[j] = static_cast<uint8_t>(p);
            if (c == pos[2]) s.is_blue[v] |= __mmask64{1} << j;
            if (c != pos[0] && c != pos[1] && c != pos[2]) s.is_other[v] |= __mmask64{1} << j;
        }
        s.scatter_rg[v] = _mm512_load_si512(rg);
        s.scatter_b[v] = _mm512_load_si512(b);
    }
    return s;
}

// Building the shuffles costs as much as a few dozen blocks: each thread keeps the last ones.
LUMEVA_TARGET_VBMI const Shuffles& shuffles_for(const RgbLayout& layout)
{
    struct Cached {
        RgbLayout layout;
        Shuffles shuffles;
    };
    static thread_local Cached cache{{0, {0, 0, 0}}, {}};
    const RgbLayout& c = cache.layout;
    if (c.pixel_bytes != layout.pixel_bytes || c.at.red != layout.at.red || c.at.green != layout.at.green ||
        c.at.blue != layout.at.blue) {
        cache.shuffles = make_shuffles(layout);
        cache.layout = layout;
    }
    return cache.shuffles;
}

template <int PB>
LUMEVA_TARGET_VBMI inline __m512i plane(const Shuffles& s, const __m512i* in, int c)
{
    const __m512i low = _mm512_permutex2var_epi8(in[0], s.gather[c], in[1]);
    if constexpr (PB == 3) return _mm512_mask_permutexvar_epi8(low, s.upper[c], s.gather[c], in[2]);
    return _mm512_mask_blend_epi8(s.upper[c], low, _mm512_permutex2var_epi8(in[2], s.gather[c], in[3]));
}

// Even and odd bytes are taken apart in 16-bit lanes: a weighted sum is at most 65280, and the
// luminance, its upper byte, fits back into the byte it came from.
template <int PB>
LUMEVA_TARGET_VBMI inline __m512i block_luminance(const Shuffles& s, const __m512i* in)
{
    const __m512i r = plane<PB>(s, in, 0), g = plane<PB>(s, in, 1), b = plane<PB>(s, in, 2);
    const __m512i low_bytes = _mm512_set1_epi16(0x00FF);
    const __m512i wr = _mm512_set1_epi16(77), wg = _mm512_set1_epi16(150), wb = _mm512_set1_epi16(29);
    const __m512i even = _mm512_srli_epi16(
        _mm512_add_epi16(_mm512_add_epi16(_mm512_mullo_epi16(_mm512_and_si512(r, low_bytes), wr),
                                          _mm512_mullo_epi16(_mm512_and_si512(g, low_bytes), wg)),
                         _mm512_mullo_epi16(_mm512_and_si512(b, low_bytes), wb)),
        8);
    const __m512i odd = _mm512_add_epi16(
        _mm512_add_epi16(_mm512_mullo_epi16(_mm512_srli_epi16(r, 8), wr), _mm512_mullo_epi16(_mm512_srli_epi16(g, 8), wg)),
        _mm512_mullo_epi16(_mm512_srli_epi16(b, 8), wb));
    return _mm512_or_si512(even, _mm512_and_si512(odd, _mm512_set1_epi16(static_cast<short>(0xFF00))));
}

// The pixel size is fixed at compile time so that a block's vectors and the shuffles, copied
// out of the cache, all stay in registers.
template <int PB>
LUMEVA_TARGET_VBMI void luminance_blocks(const uint8_t* from, uint8_t* out, size_t blocks, const Shuffles& shared)
{
    const Shuffles s = shared;
    for (size_t n = 0; n < blocks; ++n, from += 64 * PB, out += 64) {
        __m512i in[PB];
        for (int v = 0; v < PB; ++v) in[v] = _mm512_loadu_si512(from + 64 * v);
        _mm512_storeu_si512(out, block_luminance<PB>(s, in));
    }
}

template <int PB>
LUMEVA_TARGET_VBMI void sepia_blocks(const uint8_t* from, uint8_t* to, size_t blocks, const Shuffles& shared,
                                     uint8_t red_lift, uint8_t green_lift)
{
    const Shuffles s = shared;
    const __m512i red_add = _mm512_set1_epi8(static_cast<char>(red_lift));
    const __m512i green_add = _mm512_set1_epi8(static_cast<char>(green_lift));
    for (size_t n = 0; n < blocks; ++n, from += 64 * PB, to += 64 * PB) {
        __m512i in[PB];
        for (int v = 0; v < PB; ++v) in[v] = _mm512_loadu_si512(from + 64 * v);
        const __m512i l = block_luminance<PB>(s, in);
        const __m512i red = _mm512_adds_epu8(l, red_add), green = _mm512_adds_epu8(l, green_add);
        for (int v = 0; v < PB; ++v) {
            __m512i out = _mm512_permutex2var_epi8(red, s.scatter_rg[v], green);
            out = _mm512_mask_permutexvar_epi8(out, s.is_blue[v], s.scatter_b[v], l);
            if constexpr (PB == 4) out = _mm512_mask_mov_epi8(out, s.is_other[v], in[v]);
            _mm512_storeu_si512(to + 64 * v, out);
        }
    }
}

LUMEVA_TARGET_VBMI void luminance_run_vbmi(const uint8_t* from, uint8_t* out, size_t pixels, const RgbLayout& layout)
{
    const size_t blocks = pixels / 64, done = blocks * 64;
    if (layout.pixel_bytes == 3) luminance_blocks<3>(from, out, blocks, shuffles_for(layout));
    else luminance_blocks<4>(from, out, blocks, shuffles_for(layout));
    luminance_run_portable(from + done * layout.pixel_bytes, out + done, pixels - done, layout);
}

LUMEVA_TARGET_VBMI void sepia_run_vbmi(const uint8_t* from, uint8_t* to, size_t pixels, const RgbLayout& layout,
                                       uint8_t red_lift, uint8_t green_lift)
{
    const size_t blocks = pixels / 64, done = blocks * 64;
    if (layout.pixel_bytes == 3) sepia_blocks<3>(from, to, blocks, shuffles_for(layout), red_lift, green_lift);
    else sepia_blocks<4>(from, to, blocks, shuffles_for(layout), red_lift, green_lift);
    const size_t offset = done * layout.pixel_bytes;
    sepia_run_portable(from + offset, to + offset, pixels - done, layout, red_lift, green_lift);
}

}  // namespace

#endif

void luminance_run(const uint8_t* from, uint8_t* out, size_t pixels, const RgbLayout& layout)
{
#ifdef LUMEVA_AVX512
    if (cpu_has_avx512_vbmi()) return luminance_run_vbmi(from, out, pixels, layout);
#endif
    luminance_run_portable(from, out, pixels, layout);
}

void sepia_run(const uint8_t* from, uint8_t* to, size_t pixels, const RgbLayout& layout, uint8_t red_lift,
               uint8_t green_lift)
{
#ifdef LUMEVA_AVX512
    if (cpu_has_avx512_vbmi()) return sepia_run_vbmi(from, to, pixels, layout, red_lift, green_lift);
#endif
    sepia_run_portable(from, to, pixels, layout, red_lift, green_lift);
}
