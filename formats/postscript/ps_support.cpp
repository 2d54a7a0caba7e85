#include "formats/postscript/ps_support.h"

#include <cstdio>

#include "formats/pnm/pnm_codec.h"

std::string c_number(const char* format, double value)
{
    char text[64];
    snprintf(text, sizeof text, format, value);
    // One number printed alone has no grouping, so any comma is the locale's decimal mark.
    for (char* p = text; *p; ++p)
        if (*p == ',') *p = '.';
    return text;
}

Status read_rendered(const char* name, LoadContext* context, Status (*reader)(Stream*, LoadContext*, const char*, int),
                     const char* label, int dpi, int skip_pages)
{
    Stream* output = stream_open(name, STREAM_READ);
    if (!output) return STATUS_UNKNOWN_FORMAT;
    Status status = STATUS_OK;
    for (int page = 0; page < skip_pages && status == STATUS_OK; ++page) status = pnm_skip_image(output);
    if (status == STATUS_OK) status = reader(output, context, label, dpi);
    stream_close(output);
    return status;
}
