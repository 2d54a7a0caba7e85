// The check every byte-wise operation makes on its source before it reads a pixel.
#pragma once

#include "core/picture.h"

// STATUS_OK when `picture` holds pixels of one to four 8-bit bytes (or bilevel lines) laid out
// within its lines; STATUS_BAD_PARAMETER otherwise. Deeper pictures are refused: their two-byte
// samples would come out wrong if read as bytes.
inline Status pixel_check_bytes(const Picture* picture)
{
    if (!picture || !picture->data || picture->width < 1 || picture->height < 1) return STATUS_BAD_PARAMETER;
    if (picture->type == PIXEL_BINARY) {
        return static_cast<int64_t>(picture->bytes_per_line) * 8 >= picture->width ? STATUS_OK
                                                                                    : STATUS_BAD_PARAMETER;
    }
    if (picture->bits_per_component > 8 || picture->bytes_per_pixel < 1 || picture->bytes_per_pixel > 4)
        return STATUS_BAD_PARAMETER;
    if (picture->type == PIXEL_COLORS && !picture->colour_map) return STATUS_BAD_PARAMETER;
    const int64_t needed = int64_t{picture->width} * picture->bytes_per_pixel;
    return picture->bytes_per_line >= needed ? STATUS_OK : STATUS_BAD_PARAMETER;
}

// The same for the operations that have no meaning on bilevel pictures, which they refuse first.
inline Status pixel_check_bytes_not_bilevel(const Picture* picture)
{
    if (picture && picture->type == PIXEL_BINARY) return STATUS_BILEVEL_REFUSED;
    return pixel_check_bytes(picture);
}
