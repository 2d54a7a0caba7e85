// Reading a PCX file: the 128-byte header, the lines (RLE or raw, planes side by side within a
// line), then the colour table: the 256-colour one after the data, the one in the header, or the
// EGA default of files that predate both. DCX files lead to one of their pages.
#include <cstdio>
#include <cstring>

#include "formats/common/stream_bytes.h"
#include "formats/pcx/pcx_codec.h"

namespace {

constexpr int MANUFACTURER = 10;
constexpr uint32_t DCX_MAGIC = 987654321;
constexpr int DCX_PAGES_MAX = 1023;
constexpr int PALETTE_MARKER = 12;
constexpr int MARKER_SEARCH_BYTES = 32;
constexpr char BAD_SIZE[] = "Pcx : Bad picture's size !";

const uint8_t EGA_PALETTE[48] = {
    0,   0,   0,   0,   0,   170, 0,   170, 0,   0,   170, 170, 170, 0,   0,   170, 0,   170, 170, 85,  0,   170, 170, 170,
    85,  85,  85,  85,  85,  255, 85,  255, 85,  85,  255, 255, 255, 85,  85,  255, 85,  255, 255, 255, 85,  255, 255, 255,
};

struct PcxHeader {
    int version;
    bool rle;
    int bits;
    int width;
    int height;
    int x_dpi, y_dpi;
    uint8_t palette[48];
    int planes;
    int bytes_per_line;
};

Status read_header(Stream* s, LoadContext* ctx, PcxHeader* h)
{
    uint8_t b[128];
    if (stream_read(s, b, sizeof b) != sizeof b || b[0] != MANUFACTURER) return STATUS_UNKNOWN_FORMAT;
    h->version = b[1];
    h->rle = b[2] != 0;
    h->bits = b[3];
    h->width = le16_at(b + 8) - le16_at(b + 4) + 1;
    h->height = le16_at(b + 10) - le16_at(b + 6) + 1;
    h->x_dpi = le16_at(b + 12);
    h->y_dpi = le16_at(b + 14);
    std::memcpy(h->palette, b + 16, 48);
    h->planes = b[65];
    h->bytes_per_line = le16_at(b + 66);
    if (h->width < 2 || h->height < 2 || h->planes == 0 || h->planes > 8 || h->bits == 0 || h->bits >= 32)
        return load_fail(ctx, STATUS_UNKNOWN_FORMAT, BAD_SIZE);
    // A line shorter than its pixels would leave them to whatever the buffer held.
    if (int64_t{h->bytes_per_line} * 8 < int64_t{h->width} * h->bits)
        return load_fail(ctx, STATUS_UNKNOWN_FORMAT, BAD_SIZE);
    if (h->version == 3) std::memcpy(h->palette, EGA_PALETTE, sizeof EGA_PALETTE);
    return STATUS_OK;
}

// One line of RLE codes into `line`; a run that passes the line's end is cut there. False when
// the file ended first (the rest of the line is then zero).
bool read_rle_line(Stream* s, uint8_t* line, int size)
{
    int at = 0;
    while (at < size) {
        int c = stream_next_byte(s);
        if (c < 0) break;
        int count = 1;
        if (c >= 0xC0) {
            count = c & 0x3F;
            c = stream_next_byte(s);
            if (c < 0) break;
        }
        if (count > size - at) count = size - at;
        std::memset(line + at, c, static_cast<size_t>(count));
        at += count;
    }
    if (at == size) return true;
    std::memset(line + at, 0, static_cast<size_t>(size - at));
    return false;
}

Status read_lines(Stream* s, LoadContext* ctx, const PcxHeader& p, HeaderInfo* h)
{
    const int line_bytes = p.planes * p.bytes_per_line;
    for (int y = 0; y < p.height; ++y) {
        if (p.rle) {
            const bool whole = read_rle_line(s, h->line_buffer, line_bytes);
            LUM_TRY(load_put_lines(ctx, -1, y, 1));
            if (!whole) return STATUS_INCOMPLETE;
        } else {
            if (stream_read_exact(s, h->line_buffer, static_cast<size_t>(line_bytes)) != STATUS_OK) return STATUS_INCOMPLETE;
            LUM_TRY(load_put_lines(ctx, -1, y, 1));
        }
    }
    return STATUS_OK;
}

// The colour table, then load_end; returns the status of the table's reading.
Status finish(Stream* s, LoadContext* ctx, const PcxHeader& p, bool data_complete)
{
    const int depth = p.planes * p.bits;
    if (p.version == 5 && data_complete) {
        int c = -1;
        for (int i = 0; i < MARKER_SEARCH_BYTES && c != PALETTE_MARKER; ++i) {
            c = stream_next_byte(s);
            if (c < 0) break;
        }
        if (c == PALETTE_MARKER) {
            if (depth > 8) {
                load_end(ctx, 0, 8, nullptr);
                return STATUS_OK;
            }
            uint8_t palette[768] = {};
            const size_t size = static_cast<size_t>(3) << depth;
            const size_t got = stream_read(s, palette, size);
            load_end(ctx, 0, 8, palette);
            return got < size ? STATUS_INCOMPLETE : STATUS_OK;
        }
    }
    // Two-bit (CGA) files take their colours from the header as the 16-colour files do.
    if (depth >= 2 && depth <= 7) {
        uint8_t palette[768] = {};
        std::memcpy(palette, p.palette, sizeof p.palette);
        load_end(ctx, 0, 8, palette);
    } else {
        load_end(ctx, 0, 8, nullptr);
    }
    return STATUS_OK;
}

// A DCX file: the page the caller asked for, after counting the pages.
Status seek_dcx_page(Stream* s, LoadContext* ctx)
{
    int64_t chosen = -1;
    int pages = 0;
    for (; pages < DCX_PAGES_MAX; ++pages) {
        const uint32_t offset = stream_read_u32le(s);
        if (stream_eof(s) || offset == 0) break;
        if (pages == ctx->params.image_index) chosen = offset;
    }
    ctx->image_count = pages;
    if (chosen < 0) return STATUS_UNKNOWN_FORMAT;
    if (stream_seek_inside(s, chosen) != STATUS_OK) return STATUS_UNKNOWN_FORMAT;
    return STATUS_OK;
}

}  // namespace

bool pcx_signature(const uint8_t* head, size_t size)
{
    // Everything past the manufacturer byte is the reader's to judge, with its message.
    if (size >= 4 && head[0] == 0xB1 && head[1] == 0x68 && head[2] == 0xDE && head[3] == 0x3A) return true;
    return size >= 1 && head[0] == MANUFACTURER;
}

Status pcx_read(Stream* s, LoadContext* ctx)
{
    const int64_t start = stream_tell(s);
    if (stream_read_u32le(s) == DCX_MAGIC) {
        LUM_TRY(seek_dcx_page(s, ctx));
    } else {
        stream_seek(s, start, SEEK_SET);
    }
    PcxHeader p{};
    LUM_TRY(read_header(s, ctx, &p));

    HeaderInfo h;
    header_init(&h);
    std::snprintf(h.format_label, sizeof h.format_label, "Zsoft Paintbrush");
    h.width = p.width;
    h.height = p.height;
    h.planes = static_cast<int16_t>(p.planes);
    h.bits_per_plane = static_cast<int16_t>(p.bits);
    h.bytes_per_plane_line = p.bytes_per_line;
    h.x_dpi = static_cast<uint32_t>(p.x_dpi);
    h.y_dpi = static_cast<uint32_t>(p.y_dpi);
    if (p.rle) h.compression = COMPRESSION_RLE;
    LUM_TRY(load_begin(ctx, &h));

    const Status status = read_lines(s, ctx, p, &h);
    const Status palette_status = finish(s, ctx, p, status == STATUS_OK);
    return status != STATUS_OK ? status : palette_status;
}
