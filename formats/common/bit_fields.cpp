#include "formats/common/bit_fields.h"

BitField bit_field_from_mask(uint32_t mask)
{
    BitField f{mask, 0, 0, 0};
    if (!mask) return f;
    while (!((mask >> f.shift) & 1)) ++f.shift;
    int top = 31;
    while (!((mask >> top) & 1)) --top;
    f.width = top - f.shift + 1;
    f.max = mask >> f.shift;
    return f;
}
