// libpng's callbacks over the library's streams, shaped like manager objects: one record per
// direction holding the stream, installed with libpng's read or write function. libpng reports
// errors by longjmp to the jump buffer of its structure; nothing with a destructor may live in
// the frames such a jump crosses, so this glue stays plain C.
#pragma once

#include <png.h>

#include "core/load.h"
#include "core/stream.h"

// libpng's error pointer: the text of the last error, kept for the failure message.
struct PngErrorText {
    char text[LOAD_MESSAGE_MAX];
};

// Raises libpng's error "Read error" when the stream cannot give every byte asked for.
void png_io_read(png_structp png, png_bytep data, size_t length);
// A short write raises libpng's error; the writer turns it into STATUS_WRITE_FAILED.
void png_io_write(png_structp png, png_bytep data, size_t length);
void png_io_flush(png_structp png);
// Keeps libpng's text in the PngErrorText given as error pointer, if any, and jumps back to the
// recovery point; nothing is shown.
[[noreturn]] void png_io_error(png_structp png, png_const_charp message);
// Warnings are not reported: the library only speaks when asked to.
void png_io_warning(png_structp png, png_const_charp message);
