// Reading a BMP file: the file header and the Windows or OS/2 info header, then by what the
// header describes: DXT blocks, direct-colour rows (24 bits, 16 and 32 bits with or without bit
// fields), or palette rows (plain, RLE8, RLE4).
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "core/line_convert.h"
#include "core/pixels.h"
#include "formats/bmp/bmp_codec.h"
#include "formats/bmp/bmp_dxt.h"
#include "formats/bmp/bmp_rle.h"
#include "formats/common/bit_fields.h"
#include "formats/common/messages.h"
#include "formats/common/resolution.h"
#include "formats/common/stream_bytes.h"

namespace {

constexpr uint16_t BMP_SIGNATURE = 0x4D42;  // "BM"
constexpr int64_t FILE_HEADER_BYTES = 14;
constexpr int64_t OS2_INFO_BYTES = 12;
constexpr int64_t WINDOWS_INFO_BYTES = 40;
constexpr int64_t MASKS_IN_HEADER_BYTES = 56;  // headers this long hold the four colour masks
constexpr int64_t MASKS_OFFSET = FILE_HEADER_BYTES + WINDOWS_INFO_BYTES;
constexpr int64_t DXT_DATA_OFFSET = 74;
constexpr int64_t SIDE_LIMIT = 32000;
constexpr char NAME[] = "Windows Bitmap";

struct BmpHeader {
    uint32_t data_offset;
    uint32_t info_size;
    int64_t width;   // as stored: negative height means top-down
    int64_t height;
    uint16_t planes;
    uint16_t bits;
    uint32_t compression;
    int32_t x_per_metre;
    int32_t y_per_metre;
    uint32_t colours_used;
    bool os2;
};

struct Masks {
    uint32_t red, green, blue, alpha;
};

using HeapBytes = std::unique_ptr<uint8_t[]>;

HeapBytes heap_bytes(size_t n) { return HeapBytes(new (std::nothrow) uint8_t[n]); }

// Bytes of one stored row: rows are padded to whole 32-bit words.
int64_t stored_row_bytes(int64_t bits, int64_t width) { return (bits * width + 31) / 32 * 4; }

bool known_compression(uint32_t compression)
{
    switch (compression) {
    case BMP_PLAIN: case BMP_RLE8: case BMP_RLE4: case BMP_BITFIELDS: case BMP_DXT1: case BMP_DXT3: return true;
    default: return false;
    }
}

Status read_headers(Stream* s, BmpHeader* b)
{
    if (stream_read_u16le(s) != BMP_SIGNATURE) return STATUS_UNKNOWN_FORMAT;
    stream_read_u32le(s);  // file size: often wrong, never needed
    stream_read_u16le(s);
    stream_read_u16le(s);
    b->data_offset = stream_read_u32le(s);
    b->info_size = stream_read_u32le(s);
    if (b->info_size == OS2_INFO_BYTES) {
        b->os2 = true;
        b->width = static_cast<int16_t>(stream_read_u16le(s));
        b->height = static_cast<int16_t>(stream_read_u16le(s));
        b->planes = stream_read_u16le(s);
        b->bits = stream_read_u16le(s);
    } else if (b->info_size >= WINDOWS_INFO_BYTES) {
        b->width = static_cast<int32_t>(stream_read_u32le(s));
        b->height = static_cast<int32_t>(stream_read_u32le(s));
        b->planes = stream_read_u16le(s);
        b->bits = stream_read_u16le(s);
        b->compression = stream_read_u32le(s);
        stream_read_u32le(s);  // image size
        b->x_per_metre = static_cast<int32_t>(stream_read_u32le(s));
        b->y_per_metre = static_cast<int32_t>(stream_read_u32le(s));
        b->colours_used = stream_read_u32le(s);
        stream_read_u32le(s);  // colours important
    } else {
        return STATUS_UNKNOWN_FORMAT;
    }
    if (stream_eof(s)) return STATUS_UNKNOWN_FORMAT;
    return known_compression(b->compression) ? STATUS_OK : STATUS_UNKNOWN_FORMAT;
}

int64_t info_end(const BmpHeader& b) { return FILE_HEADER_BYTES + b.info_size; }

void describe(const BmpHeader& b, HeaderInfo* h)
{
    header_init(h);
    const bool dxt = b.compression == BMP_DXT1 || b.compression == BMP_DXT3;
    std::snprintf(h->format_label, sizeof h->format_label, "%s",
                  dxt ? "Windows Bitmap (DXT)" : b.os2 ? "OS/2 Bitmap" : "Windows Bitmap");
    h->width = static_cast<int32_t>(b.width < 0 ? -b.width : b.width);
    h->height = static_cast<int32_t>(b.height < 0 ? -b.height : b.height);
    h->orientation = b.height < 0 && !dxt ? 0 : PICTURE_ORIGIN_BOTTOM;
    h->x_dpi = dpi_from_dots_per_metre(b.x_per_metre);
    h->y_dpi = dpi_from_dots_per_metre(b.y_per_metre);
    if (b.compression == BMP_RLE8 || b.compression == BMP_RLE4) h->compression = COMPRESSION_RLE;
}

// Pixel data that claims to start inside the headers starts right after them instead.
int64_t data_start(const BmpHeader& b, int64_t after_headers)
{
    return b.data_offset < after_headers ? after_headers : b.data_offset;
}

// --- DXT ------------------------------------------------------------------------------------

Status read_dxt(Stream* s, LoadContext* ctx, const BmpHeader& b, HeaderInfo* h)
{
    const int width = h->width, height = h->height;
    const int block_bytes = b.compression == BMP_DXT1 ? DXT1_BLOCK_BYTES : DXT3_BLOCK_BYTES;
    const int blocks_across = (width + 3) / 4;
    const size_t row_of_blocks = static_cast<size_t>(blocks_across) * block_bytes;
    h->bits_per_plane = 32;
    h->bytes_per_plane_line = 4 * width;
    h->lines_per_call = 4;
    LUM_TRY(stream_seek_inside(s, DXT_DATA_OFFSET));
    HeapBytes blocks = heap_bytes(row_of_blocks);
    if (!blocks) return STATUS_NO_MEMORY;
    LUM_TRY(load_begin(ctx, h));

    Status status = STATUS_OK;
    const size_t line_bytes = static_cast<size_t>(4) * width;
    for (int top = 0; top < height && status == STATUS_OK; top += 4) {
        if (stream_read_exact(s, blocks.get(), row_of_blocks) != STATUS_OK) {
            status = STATUS_INCOMPLETE;
            break;
        }
        for (int bx = 0; bx < blocks_across; ++bx) {
            uint8_t pixels[64];
            const uint8_t* block = blocks.get() + static_cast<size_t>(bx) * block_bytes;
            if (block_bytes == DXT1_BLOCK_BYTES) dxt1_decode_block(block, pixels);
            else dxt3_decode_block(block, pixels);
            const int columns = width - 4 * bx < 4 ? width - 4 * bx : 4;
            for (int j = 0; j < 4 && top + j < height; ++j)
                std::memcpy(h->line_buffer + j * line_bytes + static_cast<size_t>(16) * bx, pixels + 16 * j,
                            static_cast<size_t>(4) * columns);
        }
        const int lines = height - top < 4 ? height - top : 4;
        status = load_put_lines(ctx, -1, top, lines);
    }
    load_end(ctx, 0, 8, nullptr);
    return status;
}

// --- direct colour --------------------------------------------------------------------------

// Sets `after_header` when the masks follow a short header rather than sit inside a long one.
Masks read_masks(Stream* s, const BmpHeader& b, bool* after_header)
{
    Masks m{};
    *after_header = false;
    if (b.info_size < MASKS_IN_HEADER_BYTES && b.data_offset < MASKS_OFFSET + 12) {
        // Bit fields announced with nowhere to hold them: the usual layouts.
        if (b.bits > 16) m = {0xFF0000, 0xFF00, 0xFF, 0};
        else m = {0xF800, 0x7E0, 0x1F, 0};
        return m;
    }
    // Masks cut off by the file's end are empty: such a file has no pixels to read either.
    stream_seek(s, MASKS_OFFSET, SEEK_SET);
    if (stream_get_u32le(s, &m.red) || stream_get_u32le(s, &m.green) || stream_get_u32le(s, &m.blue)) return Masks{};
    *after_header = b.info_size < MASKS_IN_HEADER_BYTES;
    // Only the longer headers hold an alpha mask; shorter ones describe opaque pixels.
    if (b.info_size >= MASKS_IN_HEADER_BYTES && stream_get_u32le(s, &m.alpha)) return Masks{};
    return m;
}

uint32_t pixel_word(const uint8_t* p, int bytes)
{
    return bytes == 2 ? uint32_t{p[0]} | uint32_t{p[1]} << 8
                      : uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// Whether any pixel has alpha bits set. Many files leave the alpha byte at zero although their
// pixels are meant to be seen: such a file is read as opaque. Leaves the stream at `start`.
bool alpha_is_used(Stream* s, int64_t start, int64_t row_bytes, int width, int height, int pixel_bytes, uint32_t mask)
{
    HeapBytes row = heap_bytes(static_cast<size_t>(row_bytes));
    if (!row) return true;
    bool used = false;
    for (int y = 0; y < height && !used; ++y) {
        const size_t got = stream_read(s, row.get(), static_cast<size_t>(row_bytes));
        const int pixels = static_cast<int>(got / pixel_bytes) < width ? static_cast<int>(got / pixel_bytes) : width;
        for (int x = 0; x < pixels && !used; ++x) used = (pixel_word(row.get() + x * pixel_bytes, pixel_bytes) & mask) != 0;
        if (got < static_cast<size_t>(row_bytes)) break;
    }
    stream_seek(s, start, SEEK_SET);
    return used;
}

// Pixels whose masks the pipeline has no layout for, as R, G, B (and A) bytes.
struct FieldSet {
    BitField red, green, blue, alpha;
    int pixel_bytes;
    bool with_alpha;
};

void extract_fields(const FieldSet& f, const uint8_t* in, uint8_t* out, int width)
{
    const int step = f.with_alpha ? 4 : 3;
    for (int x = 0; x < width; ++x, in += f.pixel_bytes, out += step) {
        const uint32_t v = pixel_word(in, f.pixel_bytes);
        out[0] = bit_field_value(f.red, v);
        out[1] = bit_field_value(f.green, v);
        out[2] = bit_field_value(f.blue, v);
        if (f.with_alpha) out[3] = bit_field_value(f.alpha, v);
    }
}

Status read_direct(Stream* s, LoadContext* ctx, const BmpHeader& b, HeaderInfo* h)
{
    if (b.bits != 15 && b.bits != 16 && b.bits != 24 && b.bits != 32)
        return load_fail(ctx, STATUS_BAD_HEADER, "%s : Bad bits per pixel !", NAME);
    if (b.compression != BMP_PLAIN && b.compression != BMP_BITFIELDS)
        return load_fail(ctx, STATUS_BAD_HEADER, "%s : Bad compression !", NAME);
    const int width = h->width, height = h->height;
    const int pixel_bytes = b.bits == 24 ? 3 : b.bits == 32 ? 4 : 2;
    const int64_t row_bytes = stored_row_bytes(pixel_bytes * 8, width);
    const int64_t pixels_bytes = int64_t{pixel_bytes} * width;

    Masks m{};
    int64_t after_headers = b.os2 ? FILE_HEADER_BYTES + OS2_INFO_BYTES : info_end(b);
    if (b.compression == BMP_BITFIELDS) {
        bool after_header = false;
        m = read_masks(s, b, &after_header);
        if (after_header) after_headers += 12;
    } else if (b.bits == 32) {
        m.alpha = 0xFF000000;  // the fourth byte of plain 32-bit pixels
    } else if (pixel_bytes == 2) {
        m = {0x7C00, 0x3E0, 0x1F, 0};
    }
    if (pixel_bytes == 2) m = {m.red & 0xFFFF, m.green & 0xFFFF, m.blue & 0xFFFF, m.alpha & 0xFFFF};
    const int64_t start = data_start(b, after_headers);
    LUM_TRY(stream_seek_inside(s, start));
    if (m.alpha && !alpha_is_used(s, start, row_bytes, width, height, pixel_bytes, m.alpha)) m.alpha = 0;

    // Layouts the pipeline unpacks itself; anything else is extracted mask by mask here.
    bool extract = false, force_opaque = false;
    h->bytes_per_plane_line = static_cast<int32_t>(pixels_bytes);
    h->bits_per_plane = static_cast<int16_t>(pixel_bytes * 8);
    if (pixel_bytes == 3) {
        h->layout_flags = LAYOUT_REVERSED;
    } else if (pixel_bytes == 4 && b.compression == BMP_PLAIN) {
        h->layout_flags = LAYOUT_BGRA;
        force_opaque = m.alpha == 0;
    } else if (pixel_bytes == 4 && m.red == 0xFF0000 && m.green == 0xFF00 && m.blue == 0xFF &&
               (m.alpha == 0 || m.alpha == 0xFF000000)) {
        h->layout_flags = LAYOUT_BGRA;
        force_opaque = m.alpha == 0;
    } else {
        // 16-bit pixels too: their narrow fields are widened by repeating bits.
        extract = true;
        h->bits_per_plane = m.alpha ? 32 : 24;
        h->bytes_per_plane_line = width * (m.alpha ? 4 : 3);
    }
    const FieldSet fields{bit_field_from_mask(m.red), bit_field_from_mask(m.green), bit_field_from_mask(m.blue),
                          bit_field_from_mask(m.alpha), pixel_bytes, m.alpha != 0};
    HeapBytes stored;
    if (extract) {
        stored = heap_bytes(static_cast<size_t>(row_bytes));
        if (!stored) return STATUS_NO_MEMORY;
    }
    LUM_TRY(load_begin(ctx, h));

    // The pipeline's line buffer has room for a row's padding beyond its pixels.
    Status status = STATUS_OK;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = extract ? stored.get() : h->line_buffer;
        // A last row short of its padding still has all its pixels.
        if (static_cast<int64_t>(stream_read(s, row, static_cast<size_t>(row_bytes))) < pixels_bytes) {
            status = STATUS_INCOMPLETE;
            break;
        }
        if (extract) extract_fields(fields, row, h->line_buffer, width);
        if (force_opaque)
            for (int x = 0; x < width; ++x) row[4 * x + 3] = 255;
        status = load_put_lines(ctx, -1, y, 1);
        if (status != STATUS_OK) break;
    }
    load_end(ctx, 0, 8, nullptr);
    return status;
}

// --- palette pixels -------------------------------------------------------------------------

Status read_palette_pixels(Stream* s, LoadContext* ctx, const BmpHeader& b, HeaderInfo* h)
{
    if (b.bits != 1 && b.bits != 2 && b.bits != 4 && b.bits != 8)
        return load_fail(ctx, STATUS_BAD_HEADER, "%s : Bad bits per pixel !", NAME);
    if ((b.compression == BMP_RLE8 && b.bits != 8) || (b.compression == BMP_RLE4 && b.bits != 4) ||
        b.compression == BMP_BITFIELDS)
        return load_fail(ctx, STATUS_BAD_HEADER, "%s : Bad compression !", NAME);
    const int width = h->width, height = h->height;

    // The colour table follows the info header: 3-byte entries for OS/2, 4-byte for Windows,
    // no more than the space before the pixel data holds.
    const int64_t entry_bytes = b.os2 ? 3 : 4;
    const int64_t table_start = info_end(b);
    int64_t entries = b.colours_used ? b.colours_used : int64_t{1} << b.bits;
    if (entries > 256) entries = 256;
    if (b.data_offset > table_start && (b.data_offset - table_start) / entry_bytes < entries)
        entries = (b.data_offset - table_start) / entry_bytes;
    uint8_t entry_bytes_read[256 * 4];
    uint8_t palette[768] = {};
    LUM_TRY(stream_seek_inside(s, table_start));
    LUM_TRY(stream_read_exact(s, entry_bytes_read, static_cast<size_t>(entries * entry_bytes)));
    for (int64_t i = 0; i < entries; ++i) std::memcpy(palette + 3 * i, entry_bytes_read + entry_bytes * i, 3);

    h->bits_per_plane = static_cast<int16_t>(b.bits);
    h->bytes_per_plane_line = static_cast<int32_t>((int64_t{b.bits} * width + 7) / 8);
    LUM_TRY(stream_seek_inside(s, data_start(b, table_start + entries * entry_bytes)));
    load_set_palette(ctx, PALETTE_BGR, 8, palette);
    LUM_TRY(load_begin(ctx, h));

    Status status = STATUS_OK;
    if (b.compression == BMP_RLE8 || b.compression == BMP_RLE4) {
        // Runs may carry on past a line's end into the next lines, so the whole picture is
        // decoded before its lines are handed on.
        const size_t line_bytes = static_cast<size_t>(h->bytes_per_plane_line);
        uint8_t* image = pixels_alloc(static_cast<uint64_t>(line_bytes) * static_cast<uint64_t>(height));
        if (!image) return STATUS_NO_MEMORY;
        const RleImage target{image, h->bytes_per_plane_line, width, height, b.compression == BMP_RLE4};
        int rows = 0;
        status = bmp_rle_decode(s, target, &rows);
        for (int y = 0; y < rows; ++y) {
            std::memcpy(h->line_buffer, image + line_bytes * y, line_bytes);
            const Status put = load_put_lines(ctx, -1, y, 1);
            if (put != STATUS_OK) {
                status = put;
                break;
            }
        }
        pixels_free(image);
    } else {
        const int64_t row_bytes = stored_row_bytes(b.bits, width);
        for (int y = 0; y < height; ++y) {
            if (static_cast<int64_t>(stream_read(s, h->line_buffer, static_cast<size_t>(row_bytes))) <
                h->bytes_per_plane_line) {
                status = STATUS_INCOMPLETE;
                break;
            }
            status = load_put_lines(ctx, -1, y, 1);
            if (status != STATUS_OK) break;
        }
    }
    load_end(ctx, 0, 8, nullptr);
    return status;
}

}  // namespace

bool bmp_signature(const uint8_t* head, size_t size)
{
    if (size < 2 || head[0] != 'B' || head[1] != 'M') return false;
    if (size < FILE_HEADER_BYTES + 4) return true;
    const uint32_t info_size = le32_at(head + FILE_HEADER_BYTES);
    if (info_size != OS2_INFO_BYTES && info_size < WINDOWS_INFO_BYTES) return false;
    if (info_size == OS2_INFO_BYTES || size < FILE_HEADER_BYTES + 20) return true;
    return known_compression(le32_at(head + FILE_HEADER_BYTES + 16));
}

Status bmp_read(Stream* s, LoadContext* ctx)
{
    BmpHeader b{};
    LUM_TRY(read_headers(s, &b));
    LUM_TRY(check_picture_size(ctx, NAME, b.width < 0 ? -b.width : b.width, b.height < 0 ? -b.height : b.height, SIDE_LIMIT));
    HeaderInfo h;
    describe(b, &h);
    if (b.compression == BMP_DXT1 || b.compression == BMP_DXT3) return read_dxt(s, ctx, b, &h);
    if (b.bits >= 15) return read_direct(s, ctx, b, &h);
    return read_palette_pixels(s, ctx, b, &h);
}
