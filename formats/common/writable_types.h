// Filling a registry row's list of the pixel types its writer accepts.
#pragma once

#include <initializer_list>

#include "core/format.h"

inline void writable_types_set(WritableType list[FORMAT_WRITABLE_MAX], std::initializer_list<uint16_t> types)
{
    int i = 0;
    for (uint16_t t : types)
        if (i < FORMAT_WRITABLE_MAX) list[i++].type = t;
}
