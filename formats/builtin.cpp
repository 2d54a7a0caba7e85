// The built-in rows of the format registry, in their fixed order: the row index is the format
// index callers pass around, so rows are only ever appended. A codec fills in its row's functions
// and the signature check beside it; fields a row leaves out are null.
#include <initializer_list>

#include "core/format.h"
#include "formats/bmp/bmp_codec.h"
#include "formats/common/writable_types.h"
#include "formats/gif/gif_codec.h"
#include "formats/iff/iff_codec.h"
#include "formats/jpeg/jpeg.h"
#include "formats/metafile/metafile_codec.h"
#include "formats/pcx/pcx_codec.h"
#include "formats/pict/pict_codec.h"
#include "formats/png/png_codec.h"
#include "formats/pnm/pnm_codec.h"
#include "formats/postscript/ps_codec.h"
#include "formats/psd/psd_codec.h"
#include "formats/tga/tga_codec.h"
#include "formats/tiff/tiff_codec.h"
#include "formats/x11/x11_codecs.h"

namespace {

int always_accept() { return 1; }

constexpr uint32_t P = FORMAT_PROBE;

}  // namespace

const BuiltinFormat builtin_formats[] = {
    {.row = {.flags = P, .name = "jpeg", .description = "JPEG / JFIF", .reader = jpeg_read, .writer = jpeg_write,
             .writable_types = jpeg_writable_types, .extensions = {"jpg", "jpeg", "jif", "jfif", "J", "jpe"}},
     .signature = jpeg_signature},
    {.row = {.flags = P, .name = "tga", .description = "Truevision Targa", .reader = tga_read, .writer = tga_write,
             .writable_types = tga_writable_types, .extensions = {"tga", "targa", "pix", "bpx", "ivb"}},
     .signature = tga_signature},
    {.row = {.flags = P, .name = "tiff", .description = "TIFF Revision 6", .reader = tiff_read, .writer = tiff_write,
             .writable_types = tiff_writable_types, .extensions = {"tif", "tim", "tiff"}},
     .signature = tiff_signature},
    {.row = {.flags = P, .name = "bmp", .description = "Windows Bitmap", .reader = bmp_read, .writer = bmp_write,
             .writable_types = bmp_writable_types, .extensions = {"bmp", "rle", "vga", "rl4", "rl8", "sys"}},
     .signature = bmp_signature},
    {.row = {.flags = P, .name = "png", .description = "Portable Network Graphics", .reader = png_read,
             .writer = png_write, .writable_types = png_writable_types, .extensions = {"png"}},
     .signature = png_signature},
    {.row = {.flags = P, .name = "iff", .description = "Amiga IFF", .reader = iff_read, .writer = iff_write,
             .writable_types = iff_writable_types, .extensions = {"iff", "blk"}},
     .signature = iff_signature},
    {.row = {.flags = P, .name = "gif", .description = "CompuServe GIF", .reader = gif_read, .writer = gif_write,
             .writable_types = gif_writable_types, .extensions = {"gif", "giff"}},
     .signature = gif_signature},
    {.row = {.flags = P, .name = "pcx", .description = "Zsoft Publisher's Paintbrush", .reader = pcx_read,
             .writer = pcx_write, .writable_types = pcx_writable_types, .extensions = {"pcx", "pcc", "dcx"}},
     .signature = pcx_signature},
    {.row = {.flags = P, .name = "pict", .description = "Macintosh Quickdraw/Pict", .reader = pict_read,
             .extensions = {"pic", "pict", "pict2", "pct"}},
     .signature = pict_signature},
    {.row = {.flags = P, .name = "psd", .description = "Adobe Photoshop", .reader = psd_read, .extensions = {"psd"}},
     .signature = psd_signature},
    {.row = {.flags = P, .name = "pbm", .description = "Portable Bitmap", .reader = pnm_read, .writer = pnm_write,
             .writable_types = pbm_writable_types, .extensions = {"pbm", "rpbm", "ppma"}},
     .signature = pnm_signature},
    {.row = {.flags = P, .name = "pgm", .description = "Portable Greyscale", .reader = pnm_read, .writer = pnm_write,
             .writable_types = pgm_writable_types, .extensions = {"pgm", "rpgm"}},
     .signature = pnm_signature},
    {.row = {.flags = P, .name = "ppm", .description = "Portable Pixmap", .reader = pnm_read, .writer = pnm_write,
             .writable_types = ppm_writable_types, .extensions = {"ppm", "rppm"}},
     .signature = pnm_signature},
    {.row = {.flags = P, .name = "pnm", .description = "Portable Image", .reader = pnm_read, .writer = pnm_write,
             .writable_types = pnm_writable_types,
             .extensions = {"pnm", "rpnm", "pbm", "rpbm", "pgm", "rpgm", "ppm", "rppm"}},
     .signature = pnm_signature},
    {.row = {.flags = P, .name = "xbm", .description = "X11 Bitmap", .reader = xbm_read, .writer = xbm_write,
             .writable_types = xbm_writable_types, .extensions = {"xbm", "bm"}},
     .signature = xbm_signature},
    {.row = {.flags = P, .name = "xpm", .description = "X11 Pixmap", .reader = xpm_read, .writer = xpm_write,
             .writable_types = xpm_writable_types, .extensions = {"xpm", "pm"}},
     .signature = xpm_signature},
    {.row = {.flags = 0, .name = "wmf", .description = "Windows & Aldus Metafile", .reader = metafile_read,
             .extensions = {"wmf"}},
     .signature = wmf_signature},
#if defined(_WIN32)
    {.row = {.flags = 0, .name = "emf", .description = "Windows Enhanced Metafile", .reader = metafile_read,
             .writer = emf_write, .writable_types = emf_writable_types, .extensions = {"emf"}},
     .signature = emf_signature},
#else
    {.row = {.flags = 0, .name = "emf", .description = "Windows Enhanced Metafile", .reader = metafile_read,
             .extensions = {"emf"}},
     .signature = emf_signature},
#endif
    {.row = {.flags = P, .name = "eps", .description = "Encapsulated Postscript", .init = always_accept,
             .reader = eps_read, .extensions = {"ps", "eps"}},
     .signature = eps_signature},
    {.row = {.flags = P, .name = "ps", .description = "Postscript", .init = always_accept, .reader = ps_read,
             .writer = eps_write, .writable_types = eps_writable_types, .extensions = {"ps", "eps"}},
     .signature = ps_signature},
    {.row = {.flags = 0, .name = "epi", .description = "EPS Interchange Format", .init = always_accept,
             .reader = ps_read, .extensions = {"epi"}},
     .signature = ps_signature},
    {.row = {.flags = 0, .name = "pdf", .description = "Portable Document Format", .init = always_accept,
             .reader = pdf_read, .extensions = {"pdf"}},
     .signature = pdf_signature},
    {.row = {.flags = P, .name = "epsp", .description = "Encapsulated Postscript(Preview)", .reader = eps_preview_read,
             .extensions = {"eps"}},
     .signature = eps_preview_signature},
};

const int builtin_format_count = static_cast<int>(sizeof builtin_formats / sizeof builtin_formats[0]);
