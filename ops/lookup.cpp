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
// vectors); within a block, the mask of the positions that go through each table is fixed.
LUMEVA_TARGET_VBMI void map_pixels_vbmi(const uint8_t* from, uint8_t* to, size_t pixels, const PixelTables& t)
{
    const int pb = t.pixel_bytes;
    ZmmTable tables[3];
    int table_count = 0;
    __mmask64 masks[3][3] = {};  // [vector][table]
    int table_of_byte[4] = {-1, -1, -1, -1};
    for (int k = 0; k < pb && k < 3; ++k) {
        int found = -1;
        for (int j = 0; j < k; ++j)
            if (t.table[j] == t.table[k] && table_of_byte[j] >= 0) found = table_of_byte[j];
        if (found < 0) {
            found = table_count++;
            for (int q = 0; q < 4; ++q) tables[found].q[q] = _mm512_loadu_si512(t.table[k] + 64 * q);
        }
        table_of_byte[k] = found;
    }
    for (int pos = 0; pos < 192; ++pos) {
        const int tab = table_of_byte[pos % pb];
        if (tab >= 0) masks[pos / 64][tab] |= __mmask64{1} << (pos % 64);
    }

    const size_t bytes = pixels * static_cast<size_t>(pb);
    size_t i = 0;
    for (; i + 192 <= bytes; i += 192) {
        for (int v = 0; v < 3; ++v) {
            const __m512i x = _mm512_loadu_si512(from + i + 64 * v);
            __m512i r = x;
            for (int tab = 0; tab < table_count; ++tab)
                r = _mm512_mask_mov_epi8(r, masks[v][tab], zmm_lookup(tables[tab], x));
            _mm512_storeu_si512(to + i + 64 * v, r);
        }
    }
    for (int v = 0; i < bytes; ++v, i += 64) {
        const size_t left = bytes - i;
        const __mmask64 live = left >= 64 ? ~__mmask64{0} : (__mmask64{1} << left) - 1;
        const __m512i x = _mm512_maskz_loadu_epi8(live, from + i);
        __m512i r = x;
        for (int tab = 0; tab < table_count; ++tab)
            r = _mm512_mask_mov_epi8(r, masks[v][tab], zmm_lookup(tables[tab], x));
        _mm512_mask_storeu_epi8(to + i, live, r);
    }
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
