// The calling convention every image operation shares:
//     Status image_xxx(Picture* source, Picture* destination, const Rect* rect, ...own arguments)
// The result is built in a new record. With a destination it is stored there (whatever the
// destination held is not freed); without one the source's storage is freed and the result takes
// its place. On any failure the source is unchanged and the destination is not written.
#pragma once

#include "core/picture.h"

// Allocates the record an operation builds its result in: the source's type, line padding and
// bits per component (unless `type` or `bits` say otherwise, 0 = the source's), the given size,
// the source's colour_used, transparent_index, extras and colour map.
Status op_result_alloc(const Picture* source, Picture* result, int width, int height, uint32_t type = 0,
                       int bits = 0);
// A copy of the whole source to change in place: what operations limited to a rectangle start from.
Status op_result_copy(const Picture* source, Picture* result);
// Hands a finished result over to the destination, or in place of the source.
void op_deliver(Picture* source, Picture* destination, Picture* result);
