// CompuServe GIF: any one image of a GIF87a or GIF89a file read, single-image files written, both
// through the shared LZW coder.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/format.h"
#include "core/load.h"
#include "core/save.h"

Status gif_read(Stream* stream, LoadContext* context);
Status gif_write(const char* file_name, SaveContext* context);
void gif_writable_types(WritableType list[FORMAT_WRITABLE_MAX]);
// The first bytes of a file (at least the 6 of the signature): false when it cannot be a GIF file.
bool gif_signature(const uint8_t* head, size_t size);

// The writer's two options live in words of SaveParams kept for writers: interlacing in the same
// word as PNG's, the older version in the word of BMP's older variant.
inline void gif_set_save_options(SaveParams* params, bool interlace, bool gif87a)
{
    params->reserved_120 = interlace ? 1 : 0;
    params->reserved_98 = gif87a ? 1 : 0;
}
inline bool gif_save_interlace(const SaveParams& params) { return params.reserved_120 != 0; }
inline bool gif_save_87a(const SaveParams& params) { return params.reserved_98 != 0; }

// Interlaced images store rows in four passes (every 8th row from 0, every 8th from 4, every 4th
// from 2, every 2nd from 1): the picture row of the n-th stored row.
inline int gif_interlaced_row(int n, int height)
{
    const int pass1 = (height - 1) / 8, pass2 = (height - 1) / 4, pass3 = (height - 1) / 2;
    if (n <= pass1) return 8 * n;
    if (n <= pass2) return (n - pass1) * 8 - 4;
    if (n <= pass3) return (n - pass2) * 4 - 2;
    return (n - pass3) * 2 - 1;
}
