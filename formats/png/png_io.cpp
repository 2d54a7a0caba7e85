#include "formats/png/png_io.h"

#include <cstdio>

void png_io_read(png_structp png, png_bytep data, size_t length)
{
    Stream* stream = static_cast<Stream*>(png_get_io_ptr(png));
    if (stream_read(stream, data, length) != length) png_error(png, "Read error");
}

void png_io_write(png_structp png, png_bytep data, size_t length)
{
    Stream* stream = static_cast<Stream*>(png_get_io_ptr(png));
    if (stream_write(stream, data, length) != length) png_error(png, "Write error");
}

void png_io_flush(png_structp png)
{
    Stream* stream = static_cast<Stream*>(png_get_io_ptr(png));
    if (std::fflush(stream->file) != 0) png_error(png, "Write error");
}

void png_io_error(png_structp png, png_const_charp message)
{
    if (auto* error = static_cast<PngErrorText*>(png_get_error_ptr(png)))
        std::snprintf(error->text, sizeof error->text, "%s", message ? message : "");
    png_longjmp(png, 1);
}

void png_io_warning(png_structp, png_const_charp) {}
