// Runs of pixels on bilevel lines (bit 7 of byte 0 is the leftmost pixel).
#pragma once

#include <cstdint>

// Copies n bits from bit `from_x` of `from` to bit `to_x` of `to`; the other bits of `to` keep
// their values. The two lines must not overlap.
void bits_copy(uint8_t* to, int64_t to_x, const uint8_t* from, int64_t from_x, int64_t n);
// Same, in reverse order: bit to_x + i takes bit from_x + n - 1 - i.
void bits_copy_reversed(uint8_t* to, int64_t to_x, const uint8_t* from, int64_t from_x, int64_t n);
// Sets (value 1) or clears (value 0) n bits from bit x.
void bits_fill(uint8_t* line, int64_t x, int64_t n, int value);
