#include "ops/lookup.h"

#include <cstring>

#include "ops/simd.h"

namespace {

template <int PixelBytes>
void map_scalar(const uint8_t* from, uint8_t* to, size_t pixels, const PixelTables& t)
{
    const uint8_t* t0 = t.table[0];
    const uint8_t* t1 = t.table[PixelBytes > 1 ? 1 : 0];
    const uint8_t* t2 = t.table[PixelBytes > 2 ? 2 : 0];
    for (size_t i = 0; i < pixels; ++i, from += PixelBytes, to += PixelBytes) {
        to[0] = t0[from[0]];
        if constexpr (PixelBytes > 1) to[1] = t1[from[1]];
        if constexpr (PixelBytes > 2) to[2] = t2[from[2]];
        if constexpr (PixelBytes > 3) to[3] = from[3];
    }
}

}  // namespace

void map_pixels_portable(const uint8_t* from, uint8_t* to, size_t pixels, const PixelTables& t)
{
    switch (t.pixel_bytes) {
    case 1: map_scalar<1>(from, to, pixels, t); break;
    case 2: map_scalar<2>(from, to, pixels, t); break;
    case 3: map_scalar<3>(from, to, pixels, t); break;
    default: map_scalar<4>(from, to, pixels, t); break;
    }
}

namespace {

#ifdef LUMEVA_AVX512

struct ZmmTable {
    __m512i q[4];  // entries 0-63, 64-127, 128-191, 192-255
};

LUMEVA_TARGET_VBMI inline __m512i zmm_lookup(const ZmmTable& t, __m512i x)
{
    const __m512i low = _mm512_permutex2var_epi8(t.q[0], x, t.q[1]);
    const __m512i high = _mm512_permutex2var_epi8(t.q[2], x, t.q[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high);
}

// Bytes are taken in blocks of 192 (a whole number of pixels of 1 to 4 bytes, and three
// vectors); within a block, the positions of byte k of the pixels are fixed masks.
struct PositionMasks {
    __mmask64 of[5][3][4];  // [pixel bytes][vector][byte of the pixel]
};

const PositionMasks& position_masks()
{
    static const PositionMasks masks = [] {
        PositionMasks m{};
        for (int pb = 1; pb <= 4; ++pb)
            for (int pos = 0; pos < 192; ++pos) m.of[pb][pos / 64][pos % pb] |= __mmask64{1} << (pos % 64);
        return m;
    }();
    return masks;
}

// Tables is 1 when every mapped byte uses the same table, else 3.
template <int Tables>
LUMEVA_TARGET_VBMI void map_bytes_vbmi(const uint8_t* from, uint8_t* to, size_t bytes, const PixelTables& t,
                                       const __mmask64 (&masks)[3][3])
{
    ZmmTable tables[Tables];
    for (int k = 0; k < Tables; ++k) {
        const uint8_t* table = k < t.pixel_bytes ? t.table[k] : t.table[0];  // unused ones are never read
        for (int q = 0; q < 4; ++q) tables[k].q[q] = _mm512_loadu_si512(table + 64 * q);
    }
    auto map_vector = [&](__m512i x, int v) LUMEVA_TARGET_VBMI {
        __m512i r = x;
        for (int k = 0; k < Tables; ++k) r = _mm512_mask_mov_epi8(r, masks[v][k], zmm_lookup(tables[k], x));
        return r;
    };
    size_t i = 0;
    for (; i + 192 <= bytes; i += 192)
        for (int v = 0; v < 3; ++v)
            _mm512_storeu_si512(to + i + 64 * v, map_vector(_mm512_loadu_si512(from + i + 64 * v), v));
    for (int v = 0; i < bytes; ++v, i += 64) {
        const size_t left = bytes - i;
        const __mmask64 live = left >= 64 ? ~__mmask64{0} : (__mmask64{1} << left) - 1;
        _mm512_mask_storeu_epi8(to + i, live, map_vector(_mm512_maskz_loadu_epi8(live, from + i), v));
    }
}

LUMEVA_TARGET_VBMI void map_pixels_vbmi(const uint8_t* from, uint8_t* to, size_t pixels, const PixelTables& t)
{
    const int pb = t.pixel_bytes;
    const int mapped = pb < 3 ? pb : 3;
    const PositionMasks& positions = position_masks();
    bool one_table = true;
    for (int k = 1; k < mapped; ++k) one_table &= t.table[k] == t.table[0];
    __mmask64 masks[3][3] = {};  // [vector][table]
    for (int v = 0; v < 3; ++v)
        for (int k = 0; k < mapped; ++k) masks[v][one_table ? 0 : k] |= positions.of[pb][v][k];
    const size_t bytes = pixels * static_cast<size_t>(pb);
    if (one_table) map_bytes_vbmi<1>(from, to, bytes, t, masks);
    else map_bytes_vbmi<3>(from, to, bytes, t, masks);
}

#endif

}  // namespace

void map_pixels(const uint8_t* from, uint8_t* to, size_t pixels, const PixelTables& tables)
{
#ifdef LUMEVA_AVX512
    if (cpu_has_avx512_vbmi()) return map_pixels_vbmi(from, to, pixels, tables);
#endif
    map_pixels_portable(from, to, pixels, tables);
}
