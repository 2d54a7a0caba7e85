// Amiga IFF pictures: FORM ILBM (interleaved bit planes, up to 8 planes with a colour map, 24
// planes of true colour, HAM6 and HAM8, Extra Half-Brite) and FORM PBM (chunky bytes). The writer
// writes FORM ILBM, raw or ByteRun1.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/format.h"
#include "core/load.h"
#include "core/save.h"

Status iff_read(Stream* stream, LoadContext* context);
Status iff_write(const char* file_name, SaveContext* context);
void iff_writable_types(WritableType list[FORMAT_WRITABLE_MAX]);
bool iff_signature(const uint8_t* head, size_t size);

// The writer packs its plane rows with ByteRun1 when asked through a word of SaveParams kept for
// writers.
inline void iff_set_save_options(SaveParams* params, bool packbits) { params->reserved_100 = packbits ? 1 : 0; }
inline bool iff_save_packbits(const SaveParams& params) { return params.reserved_100 != 0; }
