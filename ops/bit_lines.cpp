#include "ops/bit_lines.h"

#include <cstring>

#include "core/picture.h"

namespace {

// Bit-reversed bytes, for mirroring whole bytes at once.
struct ReversedBytes {
    uint8_t table[256];
    constexpr ReversedBytes() : table{}
    {
        for (int i = 0; i < 256; ++i) {
            int r = 0;
            for (int b = 0; b < 8; ++b) r |= ((i >> b) & 1) << (7 - b);
            table[i] = static_cast<uint8_t>(r);
        }
    }
};
constexpr ReversedBytes reversed_bytes;

// Eight bits starting at any bit position; reads the second byte only when the run reaches it.
inline uint8_t byte_at_bit(const uint8_t* line, int64_t x)
{
    const uint8_t* p = line + (x >> 3);
    const int shift = static_cast<int>(x & 7);
    if (shift == 0) return p[0];
    return static_cast<uint8_t>((p[0] << shift) | (p[1] >> (8 - shift)));
}

}  // namespace

void bits_copy(uint8_t* to, int64_t to_x, const uint8_t* from, int64_t from_x, int64_t n)
{
    // Up to the first whole destination byte, then whole bytes, then the tail.
    while (n > 0 && (to_x & 7)) {
        bit_put(to + (to_x >> 3), static_cast<int>(to_x & 7), bit_get(from + (from_x >> 3), static_cast<int>(from_x & 7)));
        ++to_x, ++from_x, --n;
    }
    uint8_t* out = to + (to_x >> 3);
    const int64_t whole = n >> 3;
    if ((from_x & 7) == 0) {
        std::memcpy(out, from + (from_x >> 3), static_cast<size_t>(whole));
    } else {
        for (int64_t i = 0; i < whole; ++i) out[i] = byte_at_bit(from, from_x + 8 * i);
    }
    to_x += 8 * whole, from_x += 8 * whole, n -= 8 * whole;
    for (; n > 0; ++to_x, ++from_x, --n)
        bit_put(to + (to_x >> 3), static_cast<int>(to_x & 7), bit_get(from + (from_x >> 3), static_cast<int>(from_x & 7)));
}

void bits_copy_reversed(uint8_t* to, int64_t to_x, const uint8_t* from, int64_t from_x, int64_t n)
{
    int64_t last = from_x + n - 1;  // the source bit that goes to to_x
    while (n > 0 && (to_x & 7)) {
        bit_put(to + (to_x >> 3), static_cast<int>(to_x & 7), bit_get(from + (last >> 3), static_cast<int>(last & 7)));
        ++to_x, --last, --n;
    }
    uint8_t* out = to + (to_x >> 3);
    const int64_t whole = n >> 3;
    // Destination byte i mirrors the eight source bits ending at `last`.
    for (int64_t i = 0; i < whole; ++i, last -= 8) out[i] = reversed_bytes.table[byte_at_bit(from, last - 7)];
    to_x += 8 * whole, n -= 8 * whole;
    for (; n > 0; ++to_x, --last, --n)
        bit_put(to + (to_x >> 3), static_cast<int>(to_x & 7), bit_get(from + (last >> 3), static_cast<int>(last & 7)));
}

void bits_fill(uint8_t* line, int64_t x, int64_t n, int value)
{
    for (; n > 0 && (x & 7); ++x, --n) bit_put(line + (x >> 3), static_cast<int>(x & 7), value);
    const int64_t whole = n >> 3;
    std::memset(line + (x >> 3), value ? 0xFF : 0, static_cast<size_t>(whole));
    x += 8 * whole, n -= 8 * whole;
    for (; n > 0; ++x, --n) bit_put(line + (x >> 3), static_cast<int>(x & 7), value);
}
