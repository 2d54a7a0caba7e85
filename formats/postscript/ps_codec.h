// PostScript, EPS (also inside the DOS binary wrapper) and PDF, rasterised by the interpreter
// library; and the EPS writer, whose prolog draws the hexadecimal pixels it writes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/format.h"
#include "core/load.h"
#include "core/save.h"

Status ps_read(Stream* stream, LoadContext* context);
// The first line must announce EPS ("%!PS-Adobe-3.0 EPSF-3.0"); then as ps_read.
Status eps_read(Stream* stream, LoadContext* context);
Status pdf_read(Stream* stream, LoadContext* context);
// The TIFF preview of a DOS EPS file, read without the interpreter.
Status eps_preview_read(Stream* stream, LoadContext* context);

Status eps_write(const char* file_name, SaveContext* context);
void eps_writable_types(WritableType list[FORMAT_WRITABLE_MAX]);

// False only when the first bytes certainly do not start a file of the row's format.
bool ps_signature(const uint8_t* head, size_t size);
bool eps_signature(const uint8_t* head, size_t size);
bool pdf_signature(const uint8_t* head, size_t size);
bool eps_preview_signature(const uint8_t* head, size_t size);

// The EPS writer's page placement: a page size in points (both above 0 centre the picture on
// it) and a zoom percentage of that page to fit the picture into. Kept in words of SaveParams
// kept for writers.
inline void eps_set_page(SaveParams* params, int page_width, int page_height, int zoom_percent)
{
    params->reserved_120 = static_cast<uint16_t>(page_width);
    params->reserved_122 = static_cast<uint16_t>(page_height);
    params->reserved_136 = static_cast<uint16_t>(zoom_percent);
}
