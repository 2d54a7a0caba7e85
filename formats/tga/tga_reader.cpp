// Reading a Targa file: the 18-byte header, the identification field (the comment), the colour
// map, then the lines, raw or as run-length packets that may run on from one line into the next.
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "core/line_convert.h"
#include "formats/common/stream_bytes.h"
#include "formats/tga/tga_codec.h"

namespace {

constexpr int HEADER_BYTES = 18;
constexpr int SIDE_LIMIT = 15001;
constexpr uint8_t DESCRIPTOR_TOP_DOWN = 0x20;
constexpr uint8_t DESCRIPTOR_RIGHT_TO_LEFT = 0x10;

struct TgaHeader {
    int id_length;
    int map_type;
    int image_type;
    int map_first;
    int map_length;
    int map_entry_bits;
    int width;
    int height;
    int depth;
    int descriptor;
};

TgaHeader parse_header(const uint8_t* b)
{
    TgaHeader t{};
    t.id_length = b[0];
    t.map_type = b[1];
    t.image_type = b[2];
    t.map_first = le16_at(b + 3);
    t.map_length = le16_at(b + 5);
    t.map_entry_bits = b[7];
    t.width = le16_at(b + 12);
    t.height = le16_at(b + 14);
    t.depth = b[16];
    t.descriptor = b[17];
    return t;
}

bool header_valid(const TgaHeader& t)
{
    if (t.map_type > 1) return false;
    switch (t.image_type) {
    case 1: case 2: case 3: case 9: case 10: case 11: break;
    default: return false;
    }
    if (t.map_type == 1) {
        if (t.map_first > t.map_length || t.map_length < 1 || t.map_length > 256) return false;
        if (t.map_entry_bits != 24 && t.map_entry_bits != 32) return false;
    } else if (t.map_entry_bits != 0 && t.map_entry_bits != 24 && t.map_entry_bits != 32) {
        return false;
    }
    if (t.width >= SIDE_LIMIT || t.height >= SIDE_LIMIT) return false;
    switch (t.depth) {
    case 1: case 8: case 15: case 16: case 24: case 32: return true;
    default: return false;
    }
}

bool colour_mapped(const TgaHeader& t) { return t.image_type == 1 || t.image_type == 9; }
bool run_length(const TgaHeader& t) { return t.image_type >= 9; }

// Entry k of the map describes index first + k; entries stay blue, green, red.
Status read_colour_map(Stream* s, const TgaHeader& t, uint8_t palette[768])
{
    const int entry_bytes = t.map_entry_bits / 8;
    for (int k = 0; k < t.map_length; ++k) {
        uint8_t e[4];
        if (stream_read_exact(s, e, static_cast<size_t>(entry_bytes)) != STATUS_OK) return STATUS_INCOMPLETE;
        const int index = t.map_first + k;
        if (index < 256) std::memcpy(palette + 3 * index, e, 3);
    }
    return STATUS_OK;
}

// Where a file line goes: straight into the pipeline's buffer, or, for grey and alpha pairs,
// into a scratch line that is widened to R, G, B, A on its way.
struct LineOut {
    LoadContext* ctx;
    HeaderInfo* h;
    uint8_t* line;  // where the file's bytes of the current line go
    int width;
    bool grey_alpha;

    Status put(int y)
    {
        if (grey_alpha) {
            for (int x = width - 1; x >= 0; --x) {
                const uint8_t grey = line[2 * x], alpha = line[2 * x + 1];
                uint8_t* px = h->line_buffer + 4 * x;
                px[0] = px[1] = px[2] = grey;
                px[3] = alpha;
            }
        }
        return load_put_lines(ctx, -1, y, 1);
    }
};

Status read_raw(Stream* s, LineOut& out, int height, size_t line_bytes)
{
    for (int y = 0; y < height; ++y) {
        if (stream_read_exact(s, out.line, line_bytes) != STATUS_OK) return STATUS_INCOMPLETE;
        LUM_TRY(out.put(y));
    }
    return STATUS_OK;
}

// Packets fill a line unit by unit (a pixel, or a byte of 1-bit pixels); each full line is
// handed on and the packet carries on into the next. Units past the last line are dropped.
Status read_rle(Stream* s, LineOut& out, int height, size_t line_bytes, int unit_bytes)
{
    const int units = static_cast<int>(line_bytes) / unit_bytes;
    int y = 0, at = 0;
    while (y < height) {
        const int packet = stream_next_byte(s);
        if (packet < 0) return STATUS_INCOMPLETE;
        int count = (packet & 0x7F) + 1;
        uint8_t unit[4];
        const bool repeat = packet & 0x80;
        if (repeat && stream_read_exact(s, unit, static_cast<size_t>(unit_bytes)) != STATUS_OK) return STATUS_INCOMPLETE;
        while (count > 0 && y < height) {
            const int n = count < units - at ? count : units - at;
            uint8_t* to = out.line + at * unit_bytes;
            if (repeat) {
                for (int i = 0; i < n; ++i) std::memcpy(to + i * unit_bytes, unit, static_cast<size_t>(unit_bytes));
            } else if (stream_read_exact(s, to, static_cast<size_t>(n) * unit_bytes) != STATUS_OK) {
                return STATUS_INCOMPLETE;
            }
            at += n;
            count -= n;
            if (at == units) {
                LUM_TRY(out.put(y));
                ++y;
                at = 0;
            }
        }
        // A literal packet reaching past the last line still holds its bytes in the file.
        if (count > 0 && !repeat && stream_skip(s, int64_t{count} * unit_bytes)) return STATUS_OK;
    }
    return STATUS_OK;
}

}  // namespace

bool tga_signature(const uint8_t* head, size_t size)
{
    return size >= HEADER_BYTES && header_valid(parse_header(head));
}

Status tga_read(Stream* s, LoadContext* ctx)
{
    uint8_t b[HEADER_BYTES];
    if (stream_read_exact(s, b, sizeof b) != STATUS_OK) return STATUS_INCOMPLETE;
    const TgaHeader t = parse_header(b);
    if (!header_valid(t)) return STATUS_UNKNOWN_FORMAT;
    const int64_t start = stream_tell(s) - HEADER_BYTES;

    if (t.id_length > 0) {
        if (ctx->params.flags & LOAD_KEEP_COMMENT) LUM_TRY(load_read_comment(s, ctx, t.id_length));
        else if (stream_skip(s, t.id_length)) return STATUS_INCOMPLETE;
    }
    // A map comes before the pixels whether or not the pixels use it.
    const bool uses_map = (t.map_type == 1 || colour_mapped(t)) && t.depth <= 8;
    uint8_t palette[768] = {};
    if (uses_map) LUM_TRY(read_colour_map(s, t, palette));
    if (t.map_type == 1 || uses_map)
        LUM_TRY(stream_seek_inside(s, start + HEADER_BYTES + t.id_length + int64_t{t.map_entry_bits} * t.map_length / 8));

    HeaderInfo h;
    header_init(&h);
    std::snprintf(h.format_label, sizeof h.format_label, "Truevision TARGA (Type %d)", t.image_type);
    h.width = t.width;
    h.height = t.height;
    h.planes = 1;
    h.bits_per_plane = static_cast<int16_t>(t.depth == 16 ? 15 : t.depth);
    // Sixteen-bit grey images hold a grey level and an alpha byte per pixel, not 5-5-5 colour.
    const bool grey_alpha = t.depth == 16 && !colour_mapped(t) && t.image_type != 2 && t.image_type != 10;
    int unit_bytes = 1;
    switch (t.depth) {
    case 1: h.bytes_per_plane_line = (t.width + 7) / 8; break;
    case 8: h.bytes_per_plane_line = t.width; break;
    case 15: case 16: unit_bytes = 2; break;
    case 24: unit_bytes = 3, h.layout_flags = LAYOUT_REVERSED; break;
    default: unit_bytes = 4, h.layout_flags = LAYOUT_BGRA; break;
    }
    if (unit_bytes > 1) h.bytes_per_plane_line = unit_bytes * t.width;
    const size_t line_bytes = static_cast<size_t>(h.bytes_per_plane_line);
    if (grey_alpha) {
        h.bits_per_plane = 32;
        h.bytes_per_plane_line = 4 * t.width;
    }
    h.orientation = (t.descriptor & DESCRIPTOR_TOP_DOWN) ? 0 : PICTURE_ORIGIN_BOTTOM;
    if (t.descriptor & DESCRIPTOR_RIGHT_TO_LEFT) h.orientation |= PICTURE_ORIGIN_RIGHT_TO_LEFT;
    if (run_length(t)) h.compression = COMPRESSION_RLE;
    std::unique_ptr<uint8_t[]> scratch;
    if (grey_alpha) {
        scratch.reset(new (std::nothrow) uint8_t[line_bytes]);
        if (!scratch) return STATUS_NO_MEMORY;
    }
    LUM_TRY(load_begin(ctx, &h));

    LineOut out{ctx, &h, grey_alpha ? scratch.get() : h.line_buffer, t.width, grey_alpha};
    const Status status = run_length(t) ? read_rle(s, out, t.height, line_bytes, unit_bytes)
                                        : read_raw(s, out, t.height, line_bytes);
    if (colour_mapped(t)) load_end(ctx, PALETTE_BGR, 8, palette);
    else load_end(ctx, 0, 8, nullptr);
    return status;
}
