// Reading a QuickDraw picture: an optional 512-byte preamble, the picture size and frame, the
// version opcode, then opcodes (one byte each in version 1; two bytes, data padded to even
// lengths, in version 2) until the first raster opcode, whose image is read:
//   0x90 BitsRect, 0x91 BitsRgn, 0x98 PackBitsRect, 0x99 PackBitsRgn: a bitmap or an indexed pixmap
//   0x9A DirectBitsRect, 0x9B DirectBitsRgn: a direct-colour pixmap
//   0x8200 CompressedQuickTime: JPEG data
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/line_convert.h"
#include "formats/common/bilevel_palette.h"
#include "formats/common/packbits.h"
#include "formats/common/stream_bytes.h"
#include "formats/jpeg/jpeg.h"
#include "formats/pict/pict_codec.h"

namespace {

constexpr int64_t PREAMBLE = 512;
constexpr int SIDE_LIMIT = 16000;
constexpr int ROW_SLACK = 1024;
constexpr int PACKED_COUNT_WORD = 250;  // rows wider than this give their packed length in 16 bits
constexpr char BAD_SIZE[] = "APPLE pict : Bad picture's size !";

enum : int {
    OP_NOP = 0x00,
    OP_CLIP = 0x01,
    OP_BK_PIX_PAT = 0x12,
    OP_FILL_PIX_PAT = 0x14,
    OP_LONG_TEXT = 0x28,
    OP_DH_TEXT = 0x29,
    OP_DV_TEXT = 0x2A,
    OP_DHDV_TEXT = 0x2B,
    OP_BITS_RECT = 0x90,
    OP_BITS_RGN = 0x91,
    OP_PACK_BITS_RECT = 0x98,
    OP_PACK_BITS_RGN = 0x99,
    OP_DIRECT_BITS_RECT = 0x9A,
    OP_DIRECT_BITS_RGN = 0x9B,
    OP_LONG_COMMENT = 0xA1,
    OP_END = 0xFF,
    OP_HEADER = 0x0C00,
    OP_QUICKTIME = 0x8200,
};

// Data bytes of the fixed-length opcodes below 0xA2; -1: variable (region, polygon, pattern,
// text, counted data), -2: raster.
int fixed_length(int op)
{
    static const signed char low[0x30] = {
        0, -1, 8, 2, 1, 2, 4, 4, 2, 8, 8, 4, 4, 2, 4, 4,   // 0x00-0x0F
        8, 1, -1, -1, -1, 2, 2, 0, 0, 0, 6, 6, 0, 6, 0, 6,  // 0x10-0x1F
        8, 4, 6, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,  // 0x20-0x2F
    };
    if (op < 0x30) return low[op];
    if (op < 0x38) return 8;   // frame, paint, erase, invert, fill rectangles
    if (op < 0x40) return 0;   // the same on the last rectangle
    if (op < 0x48) return 8;   // rounded rectangles
    if (op < 0x50) return 0;
    if (op < 0x58) return 8;   // ovals
    if (op < 0x60) return 0;
    if (op < 0x68) return 12;  // arcs
    if (op < 0x70) return 4;
    if (op < 0x78) return -1;  // polygons
    if (op < 0x80) return 0;
    if (op < 0x88) return -1;  // regions
    if (op < 0x90) return 0;
    if (op == OP_BITS_RECT || op == OP_BITS_RGN || (op >= OP_PACK_BITS_RECT && op <= OP_DIRECT_BITS_RGN)) return -2;
    if (op < 0xA0) return -1;  // reserved, counted
    if (op == 0xA0) return 2;  // short comment
    return -1;                 // long comment
}

struct PixMap {
    int row_bytes = 0;
    bool pixmap = false;  // else a bitmap
    bool direct = false;
    int top = 0, left = 0, bottom = 0, right = 0;
    int pack_type = 0;
    uint32_t h_res = 0, v_res = 0;
    int pixel_type = 0, pixel_size = 1, cmp_count = 1, cmp_size = 1;
    uint8_t palette[768] = {};

    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

struct PictReader {
    Stream* s;
    LoadContext* ctx;
    bool v2 = false;
    bool truncated = false;  // set by the reads below at the end of the file

    int u8()
    {
        const int c = stream_getc(s);
        truncated |= c == EOF;
        return c == EOF ? 0 : c;
    }
    int u16()
    {
        const int v = stream_read_u16be(s);
        truncated |= stream_eof(s) != 0;
        return v;
    }
    uint32_t u32()
    {
        const uint32_t v = stream_read_u32be(s);
        truncated |= stream_eof(s) != 0;
        return v;
    }
    void skip(int64_t n)
    {
        if (n <= 0) return;
        if (n > stream_bytes_left(s) || stream_skip(s, n)) truncated = true;
    }
    void rect(int* top, int* left, int* bottom, int* right)
    {
        *top = static_cast<int16_t>(u16());
        *left = static_cast<int16_t>(u16());
        *bottom = static_cast<int16_t>(u16());
        *right = static_cast<int16_t>(u16());
    }
};

// The version opcode at `base` + 10: 0x1101 or 0x0011 0x02FF.
bool read_version(PictReader& r, int64_t base)
{
    if (stream_seek_inside(r.s, base) != STATUS_OK) return false;
    r.truncated = false;
    r.skip(10);  // picture size and frame
    const int a = r.u8(), b = r.u8();
    if (r.truncated) return false;
    if (a == 0x11 && b == 0x01) {
        r.v2 = false;
        return true;
    }
    if (a == 0x00 && b == 0x11) {
        r.v2 = true;
        r.skip(2);
        return !r.truncated;
    }
    return false;
}

// --- pixel rows ------------------------------------------------------------------------------

// Unpacks one row coded in units of `unit` bytes (1, or 2 for 16-bit pixels) into `out`.
void unpack_units(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size, int unit)
{
    if (unit == 1) {
        packbits_decode(in, in_size, out, out_size, nullptr);
        return;
    }
    size_t i = 0, o = 0;
    while (o < out_size && i < in_size) {
        const int n = in[i++];
        if (n < 128) {
            for (int k = 0; k <= n && i + 2 <= in_size; ++k, i += 2)
                for (int b = 0; b < 2; ++b)
                    if (o < out_size) out[o++] = in[i + b];
        } else if (n > 128) {
            if (i + 2 > in_size) break;
            for (int k = 0; k < 257 - n; ++k)
                for (int b = 0; b < 2; ++b)
                    if (o < out_size) out[o++] = in[i + b];
            i += 2;
        }
    }
}

struct RowReader {
    PictReader& r;
    const PixMap& pm;
    size_t unpacked;  // bytes one row unpacks to
    std::vector<uint8_t> packed;

    // One row into `out` (unpacked bytes).
    Status row(uint8_t* out)
    {
        Stream* s = r.s;
        std::memset(out, 0, unpacked);
        const bool raw = pm.row_bytes < 8 || (pm.direct && (pm.pack_type == 1 || pm.pack_type == 2));
        if (raw) return stream_read_exact(s, out, unpacked);
        const size_t count = pm.row_bytes > PACKED_COUNT_WORD ? stream_read_u16be(s) : static_cast<size_t>(stream_getc(s));
        if (stream_eof(s) || count > packed.size()) return STATUS_INCOMPLETE;
        LUM_TRY(stream_read_exact(s, packed.data(), count));
        unpack_units(packed.data(), count, out, unpacked, pm.pixel_size == 16 ? 2 : 1);
        return STATUS_OK;
    }
};

size_t unpacked_row_bytes(const PixMap& pm)
{
    const size_t w = static_cast<size_t>(pm.width());
    if (!pm.direct) return static_cast<size_t>(pm.row_bytes);
    if (pm.pixel_size == 16) return 2 * w;
    if (pm.pack_type == 1) return static_cast<size_t>(pm.row_bytes);
    return (pm.pack_type == 2 ? 3 : pm.cmp_count) * w;
}

// --- records -------------------------------------------------------------------------------

// The pixmap fields after the bounds: version, packing, resolutions and the pixel description.
void read_pixmap_fields(PictReader& r, PixMap* pm)
{
    r.u16();  // version
    pm->pack_type = r.u16();
    r.u32();  // packed size
    pm->h_res = r.u32();
    pm->v_res = r.u32();
    pm->pixel_type = r.u16();
    pm->pixel_size = r.u16();
    pm->cmp_count = r.u16();
    pm->cmp_size = r.u16();
    r.skip(12);  // plane bytes, colour table handle, reserved
}

// A colour table: entries of 16-bit red, green and blue of which the high bytes are kept.
void read_colour_table(PictReader& r, PixMap* pm)
{
    r.u32();  // seed
    const int flags = r.u16();
    int count = r.u16() + 1;
    if (count > 256) count = 256;
    for (int i = 0; i < count && !r.truncated; ++i) {
        int index = r.u16();
        // Device tables list their colours in order, whatever the stored values.
        if (flags & 0x8000) index = i;
        if (index >= count) index = count - 1;
        for (int c = 0; c < 3; ++c) pm->palette[3 * index + c] = static_cast<uint8_t>(r.u16() >> 8);
    }
}

Status read_raster_record(PictReader& r, int op, PixMap* pm)
{
    pm->direct = op == OP_DIRECT_BITS_RECT || op == OP_DIRECT_BITS_RGN;
    if (pm->direct) {
        r.u32();  // base address
        pm->row_bytes = r.u16() & 0x7FFF;
        pm->pixmap = true;
        r.rect(&pm->top, &pm->left, &pm->bottom, &pm->right);
        read_pixmap_fields(r, pm);
    } else {
        const int row_bytes = r.u16();
        pm->pixmap = (row_bytes & 0x8000) != 0;
        pm->row_bytes = row_bytes & 0x7FFF;
        r.rect(&pm->top, &pm->left, &pm->bottom, &pm->right);
        if (pm->pixmap) {
            read_pixmap_fields(r, pm);
            read_colour_table(r, pm);
        }
    }
    r.skip(16);  // source and destination rectangles
    if (r.truncated) return STATUS_UNKNOWN_FORMAT;

    LoadContext* ctx = r.ctx;
    if (pm->pixmap && !pm->direct) {
        if (pm->pixel_type != 0) return load_fail(ctx, STATUS_BAD_HEADER, "APPLE pict : Bad pixel type !");
        if (pm->cmp_count != 1) return load_fail(ctx, STATUS_BAD_HEADER, "APPLE pict : Bad cmpCount != 1 !");
        if (pm->cmp_size != pm->pixel_size) return load_fail(ctx, STATUS_BAD_HEADER, "APPLE pict : Bad pixel size !");
        if (pm->pixel_size != 1 && pm->pixel_size != 2 && pm->pixel_size != 4 && pm->pixel_size != 8)
            return load_fail(ctx, STATUS_BAD_HEADER, "APPLE pict : Bad pixel size !");
    } else if (pm->direct) {
        if (pm->pixel_size != 16 && pm->pixel_size != 32) return load_fail(ctx, STATUS_BAD_HEADER, "APPLE pict : Bad pixel size !");
        if (pm->pixel_size == 32 && pm->cmp_count != 3 && pm->cmp_count != 4)
            return load_fail(ctx, STATUS_BAD_HEADER, "APPLE pict : Bad cmpCount != 1 !");
    } else {
        pm->pixel_size = 1;
    }
    const int w = pm->width(), h = pm->height();
    if (w < 1 || w >= SIDE_LIMIT || h < 1 || h >= SIDE_LIMIT) return load_fail(ctx, STATUS_BAD_HEADER, BAD_SIZE);
    // Rows narrower than their pixels would leave the line short.
    const int64_t needed = pm->direct ? int64_t{pm->pixel_size / 8} * w * (pm->pack_type == 2 ? 3 : 4) / 4
                                      : (int64_t{w} * pm->pixel_size + 7) / 8;
    if (pm->row_bytes < needed) return load_fail(ctx, STATUS_BAD_HEADER, BAD_SIZE);
    return STATUS_OK;
}

void describe(const PixMap& pm, HeaderInfo* h)
{
    header_init(h);
    h->width = pm.width();
    h->height = pm.height();
    h->x_dpi = pm.h_res >> 16;
    h->y_dpi = pm.v_res >> 16;
    const char* label = "Macintosh PICT 2 (DirectBits Pixmap)";
    if (!pm.pixmap) {
        label = "Macintosh PICT (Bitmap)";
        h->bytes_per_plane_line = pm.row_bytes;
    } else if (!pm.direct) {
        label = "Macintosh PICT (Pixmap)";
        h->bits_per_plane = static_cast<int16_t>(pm.pixel_size);
        h->bytes_per_plane_line = pm.row_bytes;
    } else if (pm.pixel_size == 16) {
        h->bits_per_plane = 16;  // 5-5-5, red high
        h->bytes_per_plane_line = 2 * pm.width();
    } else {
        h->planes = static_cast<int16_t>(pm.cmp_count);
        h->bits_per_plane = 8;
        h->bytes_per_plane_line = pm.width();
        if (pm.cmp_count == 4) h->layout_flags = LAYOUT_ALPHA_FIRST;
    }
    std::snprintf(h->format_label, sizeof h->format_label, "%s", label);
}

// One unpacked row as the pipeline's line.
void to_line(const PixMap& pm, const uint8_t* row, uint8_t* line)
{
    const int w = pm.width();
    if (!pm.direct) {
        std::memcpy(line, row, static_cast<size_t>(pm.row_bytes));
    } else if (pm.pixel_size == 16) {
        for (int x = 0; x < w; ++x) {
            line[2 * x] = row[2 * x + 1];
            line[2 * x + 1] = row[2 * x];
        }
    } else if (pm.pack_type == 1 || pm.pack_type == 2) {
        // Chunky pixels (x, R, G, B or R, G, B) into component planes.
        const int step = pm.pack_type == 1 ? 4 : 3, first = pm.pack_type == 1 ? 1 : 0;
        const int planes = pm.cmp_count;
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) line[(planes - 3 + c) * w + x] = row[step * x + first + c];
        if (planes == 4)
            for (int x = 0; x < w; ++x) line[x] = pm.pack_type == 1 ? row[4 * x] : 255;
    } else {
        std::memcpy(line, row, static_cast<size_t>(pm.cmp_count) * w);
    }
}

Status read_raster(PictReader& r, int op)
{
    PixMap pm;
    LUM_TRY(read_raster_record(r, op, &pm));
    HeaderInfo h;
    describe(pm, &h);
    r.u16();  // transfer mode
    if (op == OP_BITS_RGN || op == OP_PACK_BITS_RGN || op == OP_DIRECT_BITS_RGN) r.skip(r.u16() - 2);
    if (r.truncated) return STATUS_INCOMPLETE;

    RowReader rows{r, pm, unpacked_row_bytes(pm), {}};
    std::vector<uint8_t> row(rows.unpacked + 2);
    rows.packed.resize(static_cast<size_t>(pm.row_bytes) + ROW_SLACK);
    LUM_TRY(load_begin(r.ctx, &h));
    // Bitmaps' set bits are black; indexed pixmaps bring their table; direct pixmaps have none.
    const uint8_t* palette = !pm.pixmap ? PALETTE_SET_BITS_BLACK : pm.direct ? nullptr : pm.palette;
    load_set_palette(r.ctx, 0, 8, palette);
    for (int y = 0; y < h.height; ++y) {
        LUM_TRY(rows.row(row.data()));
        to_line(pm, row.data(), h.line_buffer);
        LUM_TRY(load_put_lines(r.ctx, -1, y, 1));
    }
    return load_end(r.ctx, 0, 8, palette);
}

// QuickTime data: the image's header (matrix, matte, mask) and its image description come
// before the JPEG stream.
Status read_quicktime(PictReader& r)
{
    r.u32();  // data length
    r.skip(2 + 36);  // version, matrix
    const uint32_t matte = r.u32();
    r.skip(8 + 2 + 8 + 4);  // matte rectangle, mode, source rectangle, accuracy
    const uint32_t mask = r.u32();
    r.skip(matte);
    r.skip(mask);
    const uint32_t description = r.u32();
    r.skip(int64_t{description} - 4);
    if (r.truncated) return STATUS_UNKNOWN_FORMAT;
    return jpeg_read_embedded(r.s, r.ctx, "Macintosh PICT 2", 0);
}

// --- opcodes -------------------------------------------------------------------------------

void skip_text(PictReader& r, int before)
{
    r.skip(before);
    r.skip(r.u8());
}

// A pixel pattern: its type, the old 8x8 pattern, and for colour patterns a pixmap whose rows
// are read like a picture's.
void skip_pixel_pattern(PictReader& r)
{
    const int type = r.u16();
    r.skip(8);
    if (type == 2) {
        r.skip(6);  // RGB
        return;
    }
    if (type != 1) return;
    PixMap pm;
    pm.row_bytes = r.u16() & 0x7FFF;
    pm.pixmap = true;
    r.rect(&pm.top, &pm.left, &pm.bottom, &pm.right);
    read_pixmap_fields(r, &pm);
    read_colour_table(r, &pm);
    const int h = pm.height();
    if (r.truncated || h < 0 || pm.row_bytes == 0) return;
    RowReader rows{r, pm, static_cast<size_t>(pm.row_bytes), std::vector<uint8_t>(static_cast<size_t>(pm.row_bytes) + ROW_SLACK)};
    std::vector<uint8_t> row(rows.unpacked);
    for (int y = 0; y < h && !r.truncated; ++y)
        if (rows.row(row.data()) != STATUS_OK) r.truncated = true;
}

void skip_opcode(PictReader& r, int op)
{
    if (op == OP_HEADER) return r.skip(24);
    if (op >= 0x8100) return r.skip(r.u32());
    if (op >= 0x8000) return;
    if (op >= 0x0200) return r.skip((op >> 7) & 255);
    if (op >= 0x0100) return r.skip(2);
    if (op >= 0xD0) return r.skip(r.u32());
    if (op >= 0xB0) return;
    if (op >= 0xA2) return r.skip(r.u16());
    const int length = fixed_length(op);
    if (length >= 0) return r.skip(length);
    switch (op) {
    case OP_LONG_TEXT: return skip_text(r, 4);
    case OP_DH_TEXT: case OP_DV_TEXT: return skip_text(r, 1);
    case OP_DHDV_TEXT: return skip_text(r, 2);
    case OP_LONG_COMMENT:
        r.u16();
        return r.skip(r.u16());
    default: break;
    }
    if (op >= OP_BK_PIX_PAT && op <= OP_FILL_PIX_PAT) return skip_pixel_pattern(r);
    if (op == OP_CLIP || (op >= 0x70 && op < 0x78) || (op >= 0x80 && op < 0x88)) return r.skip(r.u16() - 2);
    r.skip(r.u16());  // reserved opcodes with a length
}

}  // namespace

bool pict_signature(const uint8_t* head, size_t size)
{
    constexpr size_t VERSION_AT = 10;
    auto version_at = [&](size_t at) {
        return (head[at] == 0x11 && head[at + 1] == 0x01) ||
               (at + 4 <= size && head[at] == 0x00 && head[at + 1] == 0x11 && head[at + 2] == 0x02 && head[at + 3] == 0xFF);
    };
    if (size < VERSION_AT + 2) return false;
    if (version_at(VERSION_AT)) return true;
    if (size >= PREAMBLE + VERSION_AT + 4) return version_at(PREAMBLE + VERSION_AT);
    // A head shorter than the checks read is the whole file: too short for a preamble.
    return size >= FORMAT_HEAD_BYTES;
}

Status pict_read(Stream* s, LoadContext* ctx)
{
    PictReader r{s, ctx, false, false};
    // The 512-byte preamble of files saved on disk; pictures taken from resources lack it.
    if (!read_version(r, PREAMBLE) && !read_version(r, 0)) return STATUS_UNKNOWN_FORMAT;
    for (;;) {
        if (r.v2 && (stream_tell(s) & 1)) r.skip(1);
        const int op = r.v2 ? r.u16() : r.u8();
        if (r.truncated) return STATUS_UNKNOWN_FORMAT;
        if (op == OP_END) return load_fail(ctx, STATUS_BAD_HEADER, "APPLE pict : Bad picture's format !");
        if (fixed_length(op) == -2 && op < 0x100) return read_raster(r, op);
        if (op == OP_QUICKTIME) return read_quicktime(r);
        skip_opcode(r, op);
        if (r.truncated) return STATUS_UNKNOWN_FORMAT;
    }
}
