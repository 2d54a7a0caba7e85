// The built-in rows of the format registry, in their fixed order: the row index is the format
// index callers pass around, so rows are only ever appended. A codec fills in its row's functions
// and the signature check beside it; fields a row leaves out are null.
#include <initializer_list>

#include "core/format.h"
#include "formats/bmp/bmp_codec.h"
#include "formats/common/writable_types.h"
#include "formats/jpeg/jpeg.h"
#include "formats/png/png_codec.h"

namespace {

int always_accept() { return 1; }

void pcx_writable(WritableType list[FORMAT_WRITABLE_MAX])
{
    writable_types_set(list, {PIXEL_ANY24, PIXEL_COLORS, PIXEL_GREY, PIXEL_BINARY});
}

constexpr uint32_t P = FORMAT_PROBE;

}  // namespace

const BuiltinFormat builtin_formats[] = {
    {.row = {.flags = P, .name = "jpeg", .description = "JPEG / JFIF", .reader = jpeg_read, .writer = jpeg_write,
             .writable_types = jpeg_writable_types, .extensions = {"jpg", "jpeg", "jif", "jfif", "J", "jpe"}},
     .signature = jpeg_signature},
    {.row = {.flags = P, .name = "tga", .description = "Truevision Targa",
             .extensions = {"tga", "targa", "pix", "bpx", "ivb"}}},
    {.row = {.flags = P, .name = "tiff", .description = "TIFF Revision 6", .extensions = {"tif", "tim", "tiff"}}},
    {.row = {.flags = P, .name = "bmp", .description = "Windows Bitmap", .reader = bmp_read, .writer = bmp_write,
             .writable_types = bmp_writable_types, .extensions = {"bmp", "rle", "vga", "rl4", "rl8", "sys"}},
     .signature = bmp_signature},
    {.row = {.flags = P, .name = "png", .description = "Portable Network Graphics", .reader = png_read,
             .writer = png_write, .writable_types = png_writable_types, .extensions = {"png"}},
     .signature = png_signature},
    {.row = {.flags = P, .name = "iff", .description = "Amiga IFF", .extensions = {"iff", "blk"}}},
    {.row = {.flags = P, .name = "gif", .description = "CompuServe GIF", .extensions = {"gif", "giff"}}},
    {.row = {.flags = P, .name = "pcx", .description = "Zsoft Publisher's Paintbrush", .writable_types = pcx_writable,
             .extensions = {"pcx", "pcc", "dcx"}}},
    {.row = {.flags = P, .name = "pict", .description = "Macintosh Quickdraw/Pict",
             .extensions = {"pic", "pict", "pict2", "pct"}}},
    {.row = {.flags = P, .name = "psd", .description = "Adobe Photoshop", .extensions = {"psd"}}},
    {.row = {.flags = P, .name = "pbm", .description = "Portable Bitmap", .extensions = {"pbm", "rpbm", "ppma"}}},
    {.row = {.flags = P, .name = "pgm", .description = "Portable Greyscale", .extensions = {"pgm", "rpgm"}}},
    {.row = {.flags = P, .name = "ppm", .description = "Portable Pixmap", .extensions = {"ppm", "rppm"}}},
    {.row = {.flags = P, .name = "pnm", .description = "Portable Image",
             .extensions = {"pnm", "rpnm", "pbm", "rpbm", "pgm", "rpgm", "ppm", "rppm"}}},
    {.row = {.flags = P, .name = "xbm", .description = "X11 Bitmap", .extensions = {"xbm", "bm"}}},
    {.row = {.flags = P, .name = "xpm", .description = "X11 Pixmap", .extensions = {"xpm", "pm"}}},
    {.row = {.flags = 0, .name = "wmf", .description = "Windows & Aldus Metafile", .extensions = {"wmf"}}},
    {.row = {.flags = 0, .name = "emf", .description = "Windows Enhanced Metafile", .extensions = {"emf"}}},
    {.row = {.flags = P, .name = "eps", .description = "Encapsulated Postscript", .init = always_accept,
             .extensions = {"ps", "eps"}}},
    {.row = {.flags = P, .name = "ps", .description = "Postscript", .init = always_accept, .extensions = {"ps", "eps"}}},
    {.row = {.flags = 0, .name = "epi", .description = "EPS Interchange Format", .init = always_accept,
             .extensions = {"epi"}}},
    {.row = {.flags = 0, .name = "pdf", .description = "Portable Document Format", .init = always_accept,
             .extensions = {"pdf"}}},
    {.row = {.flags = P, .name = "epsp", .description = "Encapsulated Postscript(Preview)", .extensions = {"eps"}}},
};

const int builtin_format_count = static_cast<int>(sizeof builtin_formats / sizeof builtin_formats[0]);
