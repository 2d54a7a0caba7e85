#include "formats/common/bit_reader.h"

namespace {

struct ReversedTable {
    uint8_t v[256];
    constexpr ReversedTable() : v()
    {
        for (int i = 0; i < 256; ++i) {
            int r = 0;
            for (int b = 0; b < 8; ++b)
                if (i & (1 << b)) r |= 0x80 >> b;
            v[i] = static_cast<uint8_t>(r);
        }
    }
};

constexpr ReversedTable reversed_table;

}  // namespace

const uint8_t bit_reversed[256] = {
#define R(i) reversed_table.v[i]
#define R4(i) R(i), R(i + 1), R(i + 2), R(i + 3)
#define R16(i) R4(i), R4(i + 4), R4(i + 8), R4(i + 12)
#define R64(i) R16(i), R16(i + 16), R16(i + 32), R16(i + 48)
    R64(0), R64(64), R64(128), R64(192)
#undef R64
#undef R16
#undef R4
#undef R
};

void reverse_bits(uint8_t* data, size_t size)
{
    for (size_t i = 0; i < size; ++i) data[i] = bit_reversed[data[i]];
}
