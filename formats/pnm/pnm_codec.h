// Portable bitmap, graymap and pixmap files (P1 to P6, ASCII and binary) and the XV browser's P7
// thumbnails. One reader and one writer serve the pbm, pgm, ppm and pnm rows of the registry.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/format.h"
#include "core/load.h"
#include "core/save.h"

Status pnm_read(Stream* stream, LoadContext* context);
// The same reading under a caller's label and resolution (0: the file's own, none): how the
// PostScript reader takes the interpreter's raster output.
Status pnm_read_as(Stream* stream, LoadContext* context, const char* label, int dpi);
// Moves past one binary picture (P4, P5 or P6) from the stream's position: the pages before the
// wanted one in a multi-page raster output. STATUS_INCOMPLETE when the file ends inside it.
Status pnm_skip_image(Stream* stream);

Status pnm_write(const char* file_name, SaveContext* context);
void pbm_writable_types(WritableType list[FORMAT_WRITABLE_MAX]);
void pgm_writable_types(WritableType list[FORMAT_WRITABLE_MAX]);
void ppm_writable_types(WritableType list[FORMAT_WRITABLE_MAX]);
void pnm_writable_types(WritableType list[FORMAT_WRITABLE_MAX]);

// False only when the first bytes cannot start a file of this format.
bool pnm_signature(const uint8_t* head, size_t size);

// The writer writes the ASCII forms (P1, P2, P3) when asked through a word of SaveParams kept
// for writers.
inline void pnm_set_save_options(SaveParams* params, bool ascii) { params->reserved_98 = ascii ? 1 : 0; }
inline bool pnm_save_ascii(const SaveParams& params) { return params.reserved_98 != 0; }
