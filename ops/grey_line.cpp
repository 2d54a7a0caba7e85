// Grey values of true-colour lines: the hot loop of grey and bilevel conversion. On x86 with
// SSSE3 sixteen pixels are taken at once (byte shuffles pull the three colours apart), with AVX2
// thirty-two (the same shuffles in both halves); the portable loop does the rest and runs
// everywhere else.
#include <initializer_list>

#include "ops/depth_internal.h"
#include "ops/luminance.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define LUMEVA_GREY_SSSE3 1
#endif

namespace {

template <int R, int G, int B, int S>
void grey_scalar(const uint8_t* line, int from, int width, uint8_t* out)
{
    for (int x = from; x < width; ++x) out[x] = luminance(line[S * x + R], line[S * x + G], line[S * x + B]);
}

template <int R, int G, int B, int S>
void grey_portable(const SourceReader& reader, const uint8_t* line, uint8_t* out)
{
    grey_scalar<R, G, B, S>(line, 0, reader.width, out);
}

#if LUMEVA_GREY_SSSE3

// Shuffle masks that gather component `c` of sixteen S-byte pixels out of the S 16-byte blocks
// they span: mask k picks from block k, -128 elsewhere (zero).
template <int C, int S>
struct GatherMasks {
    alignas(16) int8_t bytes[S][16];
    constexpr GatherMasks() : bytes{}
    {
        for (int k = 0; k < S; ++k)
            for (int i = 0; i < 16; ++i) {
                const int at = i * S + C - 16 * k;
                bytes[k][i] = static_cast<int8_t>(at >= 0 && at < 16 ? at : -128);
            }
    }
};

template <int C, int S>
__attribute__((target("ssse3"))) inline __m128i gather(const __m128i* blocks)
{
    static constexpr GatherMasks<C, S> masks;
    __m128i v = _mm_shuffle_epi8(blocks[0], _mm_load_si128(reinterpret_cast<const __m128i*>(masks.bytes[0])));
    for (int k = 1; k < S; ++k)
        v = _mm_or_si128(v, _mm_shuffle_epi8(blocks[k], _mm_load_si128(reinterpret_cast<const __m128i*>(masks.bytes[k]))));
    return v;
}

__attribute__((target("ssse3"))) inline __m128i weigh(__m128i r, __m128i g, __m128i b)
{
    const __m128i sum = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(r, _mm_set1_epi16(77)), _mm_mullo_epi16(g, _mm_set1_epi16(150))),
                                      _mm_mullo_epi16(b, _mm_set1_epi16(29)));
    return _mm_srli_epi16(sum, 8);
}

template <int R, int G, int B, int S>
__attribute__((target("ssse3"))) void grey_ssse3(const SourceReader& reader, const uint8_t* line, uint8_t* out)
{
    const int width = reader.width;
    const __m128i zero = _mm_setzero_si128();
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        __m128i blocks[S];
        for (int k = 0; k < S; ++k) blocks[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + S * x + 16 * k));
        const __m128i r = gather<R, S>(blocks), g = gather<G, S>(blocks), b = gather<B, S>(blocks);
        const __m128i low = weigh(_mm_unpacklo_epi8(r, zero), _mm_unpacklo_epi8(g, zero), _mm_unpacklo_epi8(b, zero));
        const __m128i high = weigh(_mm_unpackhi_epi8(r, zero), _mm_unpackhi_epi8(g, zero), _mm_unpackhi_epi8(b, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(low, high));
    }
    grey_scalar<R, G, B, S>(line, x, width, out);
}

__attribute__((target("avx2"))) inline __m256i both_halves(const int8_t* bytes)
{
    return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(bytes)));
}

template <int C, int S>
__attribute__((target("avx2"))) inline __m256i gather_wide(const __m256i* blocks)
{
    static constexpr GatherMasks<C, S> masks;
    __m256i v = _mm256_shuffle_epi8(blocks[0], both_halves(masks.bytes[0]));
    for (int k = 1; k < S; ++k) v = _mm256_or_si256(v, _mm256_shuffle_epi8(blocks[k], both_halves(masks.bytes[k])));
    return v;
}

__attribute__((target("avx2"))) inline __m256i weigh_wide(__m256i r, __m256i g, __m256i b)
{
    const __m256i sum = _mm256_add_epi16(
        _mm256_add_epi16(_mm256_mullo_epi16(r, _mm256_set1_epi16(77)), _mm256_mullo_epi16(g, _mm256_set1_epi16(150))),
        _mm256_mullo_epi16(b, _mm256_set1_epi16(29)));
    return _mm256_srli_epi16(sum, 8);
}

// The low half of every register holds pixels x ... x + 15, the high half x + 16 ... x + 31; the
// shuffles, widenings and packing all stay within halves, so the pixels come out in order.
template <int R, int G, int B, int S>
__attribute__((target("avx2"))) void grey_avx2(const SourceReader& reader, const uint8_t* line, uint8_t* out)
{
    const int width = reader.width;
    const __m256i zero = _mm256_setzero_si256();
    int x = 0;
    for (; x + 32 <= width; x += 32) {
        __m256i blocks[S];
        for (int k = 0; k < S; ++k) {
            const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + S * x + 16 * k));
            const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + S * (x + 16) + 16 * k));
            blocks[k] = _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
        }
        const __m256i r = gather_wide<R, S>(blocks), g = gather_wide<G, S>(blocks), b = gather_wide<B, S>(blocks);
        const __m256i low = weigh_wide(_mm256_unpacklo_epi8(r, zero), _mm256_unpacklo_epi8(g, zero), _mm256_unpacklo_epi8(b, zero));
        const __m256i high = weigh_wide(_mm256_unpackhi_epi8(r, zero), _mm256_unpackhi_epi8(g, zero), _mm256_unpackhi_epi8(b, zero));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_packus_epi16(low, high));
    }
    grey_scalar<R, G, B, S>(line, x, width, out);
}

template <int R, int G, int B, int S>
GreyLineFn pick(GreyLineKind kind)
{
    switch (kind) {
    case GREY_LINE_AVX2: return __builtin_cpu_supports("avx2") ? grey_avx2<R, G, B, S> : nullptr;
    case GREY_LINE_SSSE3: return __builtin_cpu_supports("ssse3") ? grey_ssse3<R, G, B, S> : nullptr;
    default: return grey_portable<R, G, B, S>;
    }
}

#else

template <int R, int G, int B, int S>
GreyLineFn pick(GreyLineKind kind)
{
    return kind == GREY_LINE_PORTABLE ? grey_portable<R, G, B, S> : nullptr;
}

#endif

}  // namespace

GreyLineFn colour_grey_line_of(uint32_t type, GreyLineKind kind)
{
    switch (type) {
    case PIXEL_RGB: return pick<0, 1, 2, 3>(kind);
    case PIXEL_RGBA: return pick<0, 1, 2, 4>(kind);
    case PIXEL_BGR: return pick<2, 1, 0, 3>(kind);
    case PIXEL_BGRA: return pick<2, 1, 0, 4>(kind);
    case PIXEL_ABGR: return pick<3, 2, 1, 4>(kind);
    case PIXEL_ARGB: return pick<1, 2, 3, 4>(kind);
    default: return nullptr;
    }
}

GreyLineFn colour_grey_line(uint32_t type)
{
    for (GreyLineKind kind : {GREY_LINE_AVX2, GREY_LINE_SSSE3})
        if (GreyLineFn f = colour_grey_line_of(type, kind)) return f;
    return colour_grey_line_of(type, GREY_LINE_PORTABLE);
}
