// Building a result picture line by line when only a rectangle of it changes.
#pragma once

#include <algorithm>
#include <cstring>

#include "core/picture.h"

// Fills `result` (laid out like `source`) from `source`: bytes outside `r` are copied, and the
// rectangle's part of each of its lines goes through run(from, to, pixels).
template <class Run>
void rows_around_rect(const Picture* source, Picture* result, const Rect& r, Run run)
{
    const size_t pb = source->bytes_per_pixel;
    const size_t row = static_cast<size_t>(std::min(source->bytes_per_line, result->bytes_per_line));
    const size_t begin = r.x * pb, end = (static_cast<size_t>(r.x) + r.w) * pb;
    for (int y = 0; y < source->height; ++y) {
        const uint8_t* from = picture_line(source, y);
        uint8_t* to = picture_line(result, y);
        if (y < r.y || y >= r.y + r.h) {
            std::memcpy(to, from, row);
            continue;
        }
        std::memcpy(to, from, begin);
        run(from + begin, to + begin, static_cast<size_t>(r.w));
        std::memcpy(to + end, from + end, row - end);
    }
}
