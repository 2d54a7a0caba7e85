// The built-in rows of the format registry, in their fixed order: the row index is the format
// index callers pass around, so rows are only ever appended.
#include <initializer_list>

#include "core/format.h"
#include "formats/bmp/bmp_codec.h"
#include "formats/common/writable_types.h"
#include "formats/gif/gif_codec.h"
#include "formats/jpeg/jpeg.h"
#include "formats/pcx/pcx_codec.h"
#include "formats/png/png_codec.h"
#include "formats/tga/tga_codec.h"

namespace {

int always_accept() { return 1; }

constexpr uint32_t P = FORMAT_PROBE;

}  // namespace

const FormatEntry builtin_formats[] = {
    {P, "jpeg", "JPEG / JFIF", nullptr, nullptr, jpeg_read, jpeg_write, jpeg_writable_types, nullptr, 0,
     {"jpg", "jpeg", "jif", "jfif", "J", "jpe"}},
    {P, "tga", "Truevision Targa", nullptr, nullptr, tga_read, tga_write, tga_writable_types, nullptr, 0,
     {"tga", "targa", "pix", "bpx", "ivb"}},
    {P, "tiff", "TIFF Revision 6", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0,
     {"tif", "tim", "tiff"}},
    {P, "bmp", "Windows Bitmap", nullptr, nullptr, bmp_read, bmp_write, bmp_writable_types, nullptr, 0,
     {"bmp", "rle", "vga", "rl4", "rl8", "sys"}},
    {P, "png", "Portable Network Graphics", nullptr, nullptr, png_read, png_write, png_writable_types, nullptr, 0,
     {"png"}},
    {P, "iff", "Amiga IFF", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0, {"iff", "blk"}},
    {P, "gif", "CompuServe GIF", nullptr, nullptr, gif_read, gif_write, gif_writable_types, nullptr, 0,
     {"gif", "giff"}},
    {P, "pcx", "Zsoft Publisher's Paintbrush", nullptr, nullptr, pcx_read, pcx_write, pcx_writable_types,
     nullptr, 0, {"pcx", "pcc", "dcx"}},
    {P, "pict", "Macintosh Quickdraw/Pict", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0,
     {"pic", "pict", "pict2", "pct"}},
    {P, "psd", "Adobe Photoshop", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0, {"psd"}},
    {P, "pbm", "Portable Bitmap", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0,
     {"pbm", "rpbm", "ppma"}},
    {P, "pgm", "Portable Greyscale", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0,
     {"pgm", "rpgm"}},
    {P, "ppm", "Portable Pixmap", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0,
     {"ppm", "rppm"}},
    {P, "pnm", "Portable Image", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0,
     {"pnm", "rpnm", "pbm", "rpbm", "pgm", "rpgm", "ppm", "rppm"}},
    {P, "xbm", "X11 Bitmap", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0, {"xbm", "bm"}},
    {P, "xpm", "X11 Pixmap", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0, {"xpm", "pm"}},
    {0, "wmf", "Windows & Aldus Metafile", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0,
     {"wmf"}},
    {0, "emf", "Windows Enhanced Metafile", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0,
     {"emf"}},
    {P, "eps", "Encapsulated Postscript", always_accept, nullptr, nullptr, nullptr, nullptr, nullptr,
     0, {"ps", "eps"}},
    {P, "ps", "Postscript", always_accept, nullptr, nullptr, nullptr, nullptr, nullptr, 0,
     {"ps", "eps"}},
    {0, "epi", "EPS Interchange Format", always_accept, nullptr, nullptr, nullptr, nullptr, nullptr,
     0, {"epi"}},
    {0, "pdf", "Portable Document Format", always_accept, nullptr, nullptr, nullptr, nullptr,
     nullptr, 0, {"pdf"}},
    {P, "epsp", "Encapsulated Postscript(Preview)", nullptr, nullptr, nullptr, nullptr, nullptr,
     nullptr, 0, {"eps"}},
};

const int builtin_format_count = static_cast<int>(sizeof builtin_formats / sizeof builtin_formats[0]);
