#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "core/cpu.h"

#include "ops/bit_lines.h"
#include "ops/geometry.h"
#include "ops/pixel_dispatch.h"

namespace {

template <int N>
void reverse_each(uint8_t* to, const uint8_t* from, int64_t count)
{
    const uint8_t* p = from + (count - 1) * N;
    for (int64_t i = 0; i < count; ++i, p -= N) pixel_move<N>(to + i * N, p);
}

inline uint32_t load32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline void store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

#if defined(LUMEVA_X86_64)
// Five 3-byte pixels reversed by one shuffle. The 16 bytes read start one byte before the five
// pixels, so that no read passes the line's end; the sixteenth byte written is overwritten by the
// next step. Returns how many pixels were done.
__attribute__((target("ssse3"))) int64_t reverse_rgb_ssse3(uint8_t* to, const uint8_t* from, int64_t count)
{
    const __m128i order = _mm_setr_epi8(13, 14, 15, 10, 11, 12, 7, 8, 9, 4, 5, 6, 1, 2, 3, static_cast<char>(0x80));
    int64_t i = 0;
    for (; i + 6 <= count; i += 5) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + (count - i - 5) * 3 - 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i * 3), _mm_shuffle_epi8(v, order));
    }
    return i;
}
#endif

// Four 3-byte pixels reversed as three words. Words are read little-endian: byte k of a word is
// bits 8k to 8k + 7. In: r0 g0 b0 r1 | g1 b1 r2 g2 | b2 r3 g3 b3; out: r3 g3 b3 r2 | g2 b2 r1 g1 | b1 r0 g0 b0.
void reverse_rgb(uint8_t* to, const uint8_t* from, int64_t count)
{
    int64_t i = 0;
#if defined(LUMEVA_X86_64)
    if (cpu_has_ssse3()) {
        i = reverse_rgb_ssse3(to, from, count);
        reverse_each<3>(to + i * 3, from, count - i);
        return;
    }
#endif
    if constexpr (std::endian::native == std::endian::little) {
        for (; i + 4 <= count; i += 4) {
            const uint8_t* p = from + (count - i - 4) * 3;
            const uint32_t a = load32(p), b = load32(p + 4), c = load32(p + 8);
            store32(to + i * 3, (c >> 8) | ((b << 8) & 0xFF000000u));
            store32(to + i * 3 + 4, (b >> 24) | ((c & 0xFFu) << 8) | ((a >> 24) << 16) | (b << 24));
            store32(to + i * 3 + 8, ((b >> 8) & 0xFFu) | (a << 8));
        }
    }
    reverse_each<3>(to + i * 3, from, count - i);
}

// Four 4-byte pixels reversed as one 16-byte move.
void reverse_quad(uint8_t* to, const uint8_t* from, int64_t count)
{
    int64_t i = 0;
#if defined(__SSE2__)
    for (; i + 4 <= count; i += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + (count - i - 4) * 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i * 4), _mm_shuffle_epi32(v, 0x1B));
    }
#endif
    reverse_each<4>(to + i * 4, from, count - i);
}

// Eight 1-byte pixels reversed as one byte-swapped word.
void reverse_bytes(uint8_t* to, const uint8_t* from, int64_t count)
{
    int64_t i = 0;
    for (; i + 8 <= count; i += 8) {
        uint64_t v;
        std::memcpy(&v, from + count - i - 8, 8);
        v = __builtin_bswap64(v);
        std::memcpy(to + i, &v, 8);
    }
    reverse_each<1>(to + i, from, count - i);
}

// The new picture: a copy of the source when only a rectangle changes, else a blank one that
// the mirror overwrites completely.
Status flip_start(const Picture* source, const Rect* rect, Picture* result, Rect* r)
{
    if (!pixel_width_known(source->bytes_per_pixel)) return STATUS_BAD_PARAMETER;
    LUM_TRY(rect_clip(source, rect, r));
    if (rect) return op_result_copy(source, result);
    return op_result_alloc(source, result, source->width, source->height);
}

}  // namespace

void pixels_reverse(uint8_t* to, const uint8_t* from, int64_t count, int bytes_per_pixel)
{
    switch (bytes_per_pixel) {
    case 1: reverse_bytes(to, from, count); break;
    case 2: reverse_each<2>(to, from, count); break;
    case 3: reverse_rgb(to, from, count); break;
    case 4: reverse_quad(to, from, count); break;
    case 6: reverse_each<6>(to, from, count); break;
    case 8: reverse_each<8>(to, from, count); break;
    default: break;
    }
}

Status image_flip_horizontal(Picture* source, Picture* destination, const Rect* rect)
{
    Rect r;
    Picture out{};
    LUM_TRY(flip_start(source, rect, &out, &r));
    if (source->type == PIXEL_BINARY) {
        for (int y = r.y; y < r.y + r.h; ++y) bits_copy_reversed(picture_line(&out, y), r.x, picture_line(source, y), r.x, r.w);
    } else {
        const size_t offset = static_cast<size_t>(r.x) * source->bytes_per_pixel;
        for (int y = r.y + r.h - 1; y >= r.y; --y)
            pixels_reverse(picture_line(&out, y) + offset, picture_line(source, y) + offset, r.w, source->bytes_per_pixel);
    }
    op_deliver(source, destination, &out);
    return STATUS_OK;
}

Status image_flip_vertical(Picture* source, Picture* destination, const Rect* rect)
{
    Rect r;
    Picture out{};
    LUM_TRY(flip_start(source, rect, &out, &r));
    const int last = r.y + r.h - 1;
    for (int y = r.y; y <= last; ++y) {
        uint8_t* to = picture_line(&out, r.y + last - y);
        const uint8_t* from = picture_line(source, y);
        if (source->type == PIXEL_BINARY)
            bits_copy(to, r.x, from, r.x, r.w);
        else
            std::memcpy(to + static_cast<size_t>(r.x) * source->bytes_per_pixel,
                        from + static_cast<size_t>(r.x) * source->bytes_per_pixel,
                        static_cast<size_t>(r.w) * source->bytes_per_pixel);
    }
    op_deliver(source, destination, &out);
    return STATUS_OK;
}
