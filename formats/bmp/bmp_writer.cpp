// Writing a BMP file: Windows (40-byte info header) or OS/2 (12-byte), uncompressed or, for 4-
// and 8-bit pictures, RLE4 and RLE8. Rows go bottom first; the file size is patched at the end.
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "core/line_convert.h"
#include "formats/bmp/bmp_codec.h"
#include "formats/common/resolution.h"
#include "formats/common/writable_types.h"
#include "formats/bmp/bmp_rle.h"
#include "formats/common/write_file.h"

namespace {

constexpr int64_t OS2_SIDE_LIMIT = 32767;  // the OS/2 header holds 16-bit sides

struct BmpLayout {
    int bits;
    int entries;  // palette entries, 0 for truecolour
    uint32_t compression;
    bool os2;
};

BmpLayout layout_for(const SaveContext* ctx)
{
    BmpLayout l{};
    l.os2 = bmp_save_os2(ctx->params);
    switch (ctx->type) {
    case PIXEL_BINARY: l.bits = 1; break;
    case PIXEL_GREY: case PIXEL_COLORS: l.bits = ctx->colour_used <= 16 ? 4 : 8; break;
    default: l.bits = ctx->bits >= 32 ? 32 : 24; break;
    }
    l.entries = l.bits < 24 ? 1 << l.bits : 0;
    // OS/2 headers have no compression field: their pixels are always stored plain.
    if (bmp_save_rle(ctx->params) && !l.os2 && (l.bits == 4 || l.bits == 8)) l.compression = l.bits == 8 ? BMP_RLE8 : BMP_RLE4;
    return l;
}

// The picture's colours as the file's table: bilevel black then white, grey levels spread over
// 0..255, colour-mapped pictures their map.
void palette_entries(const SaveContext* ctx, int entries, uint8_t rgb[256][3])
{
    std::memset(rgb, 0, 256 * 3);
    const Picture* p = ctx->picture;
    if (ctx->type == PIXEL_BINARY) {
        rgb[1][0] = rgb[1][1] = rgb[1][2] = 255;
        return;
    }
    const int used = ctx->colour_used < entries ? ctx->colour_used : entries;
    for (int i = 0; i < used; ++i) {
        if (ctx->type == PIXEL_GREY) {
            const int top = ctx->colour_used > 1 && ctx->colour_used < 256 ? ctx->colour_used - 1 : 255;
            rgb[i][0] = rgb[i][1] = rgb[i][2] = static_cast<uint8_t>(i * 255 / top);
        } else if (p->colour_map) {
            rgb[i][0] = p->colour_map[i];
            rgb[i][1] = p->colour_map[256 + i];
            rgb[i][2] = p->colour_map[512 + i];
        }
    }
}

struct Writer {
    Stream* out;
    bool failed = false;

    void u16(uint16_t v) { failed |= stream_write_u16le(out, v) != 0; }
    void u32(uint32_t v) { failed |= stream_write_u32le(out, v) != 0; }
    void bytes(const void* p, size_t n) { failed |= n && stream_write(out, p, n) != n; }
};

void write_headers(Writer& w, const SaveContext* ctx, const BmpLayout& l)
{
    const uint32_t offset = l.os2 ? static_cast<uint32_t>(l.entries * 3 + 26) : static_cast<uint32_t>(l.entries * 4 + 54);
    w.u16(0x4D42);
    w.u32(0);  // file size, patched at the end
    w.u16(0);
    w.u16(0);
    w.u32(offset);
    if (l.os2) {
        w.u32(12);
        w.u16(static_cast<uint16_t>(ctx->width));
        w.u16(static_cast<uint16_t>(ctx->height));
        w.u16(1);
        w.u16(static_cast<uint16_t>(l.bits));
    } else {
        w.u32(40);
        w.u32(static_cast<uint32_t>(ctx->width));
        w.u32(static_cast<uint32_t>(ctx->height));
        w.u16(1);
        w.u16(static_cast<uint16_t>(l.bits));
        w.u32(l.compression);
        w.u32(0);  // image size, patched for compressed files
        w.u32(dots_per_metre_from_dpi(ctx->x_dpi));
        w.u32(dots_per_metre_from_dpi(ctx->y_dpi));
        w.u32(0);
        w.u32(0);
    }
    uint8_t rgb[256][3];
    palette_entries(ctx, l.entries, rgb);
    for (int i = 0; i < l.entries; ++i) {
        const uint8_t entry[4] = {rgb[i][2], rgb[i][1], rgb[i][0], 0};
        w.bytes(entry, l.os2 ? 3 : 4);
    }
}

Status write_pixels(Writer& w, SaveContext* ctx, const BmpLayout& l, const SaveHeader& h)
{
    const int width = ctx->width;
    const size_t row_bytes = static_cast<size_t>((int64_t{l.bits} * width + 31) / 32 * 4);
    const size_t data_bytes = static_cast<size_t>((int64_t{l.bits} * width + 7) / 8);
    std::unique_ptr<uint8_t[]> encoded;
    if (l.compression != BMP_PLAIN) {
        encoded.reset(new (std::nothrow) uint8_t[bmp_rle_line_capacity(width)]);
        if (!encoded) return STATUS_NO_MEMORY;
    }
    for (int y = 0; y < ctx->height; ++y) {
        LUM_TRY(save_get_lines(ctx, -1, 1));
        if (l.compression == BMP_RLE8) {
            w.bytes(encoded.get(), bmp_rle8_encode_line(h.line_buffer, width, encoded.get()));
        } else if (l.compression == BMP_RLE4) {
            w.bytes(encoded.get(), bmp_rle4_encode_line(h.line_buffer, width, encoded.get()));
        } else {
            // The saving pipeline's line buffer has room beyond the pixels for the padding.
            std::memset(h.line_buffer + data_bytes, 0, row_bytes - data_bytes);
            w.bytes(h.line_buffer, row_bytes);
        }
        if (w.failed) return STATUS_WRITE_FAILED;
    }
    if (l.compression != BMP_PLAIN) {
        const uint8_t end_of_bitmap[2] = {0, 1};
        w.bytes(end_of_bitmap, 2);
    }
    return w.failed ? STATUS_WRITE_FAILED : STATUS_OK;
}

Status write_file(Stream* out, SaveContext* ctx)
{
    const BmpLayout l = layout_for(ctx);
    if (l.os2 && (ctx->width > OS2_SIDE_LIMIT || ctx->height > OS2_SIDE_LIMIT)) return STATUS_BAD_PARAMETER;
    Writer w{out};
    write_headers(w, ctx, l);
    if (w.failed) return STATUS_WRITE_FAILED;
    const int64_t data_start = stream_tell(out);

    SaveHeader h;
    save_header_init(&h);
    h.orientation = PICTURE_ORIGIN_BOTTOM;
    h.planes = 1;
    h.bits_per_plane = static_cast<int16_t>(l.bits);
    if (l.bits == 24) h.layout_flags = LAYOUT_REVERSED;
    if (l.bits == 32) h.layout_flags = LAYOUT_BGRA;
    if (l.compression != BMP_PLAIN) h.layout_flags = LAYOUT_BYTE_PER_PIXEL;  // the encoders take a byte a pixel
    std::snprintf(h.label, sizeof h.label, "%s%s", l.os2 ? "OS/2 Bitmap" : "Windows Bitmap",
                  l.compression != BMP_PLAIN ? " (RLE)" : "");
    LUM_TRY(save_begin(ctx, &h));
    LUM_TRY(write_pixels(w, ctx, l, h));
    save_end(ctx);

    const int64_t end = stream_tell(out);
    stream_seek(out, 2, SEEK_SET);
    w.u32(static_cast<uint32_t>(end));
    if (l.compression != BMP_PLAIN) {
        stream_seek(out, 34, SEEK_SET);
        w.u32(static_cast<uint32_t>(end - data_start));
    }
    return w.failed ? STATUS_WRITE_FAILED : STATUS_OK;
}

}  // namespace

void bmp_writable_types(WritableType list[FORMAT_WRITABLE_MAX])
{
    writable_types_set(list, {PIXEL_ANY32, PIXEL_ANY24, PIXEL_GREY, PIXEL_COLORS, PIXEL_BINARY});
}

Status bmp_write(const char* file_name, SaveContext* ctx)
{
    return write_file_with(file_name, [ctx](Stream* out) { return write_file(out, ctx); });
}
