// Reading a Photoshop document: the 26-byte header, then four sections each led by its 32-bit
// length (colour mode data, image resources, layers and masks, image data). The merged picture
// is the image data section, channel after channel; a layer's channels sit in the layer section
// after all the layer records.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/line_convert.h"
#include "formats/common/bilevel_palette.h"
#include "formats/common/packbits.h"
#include "formats/common/stream_bytes.h"
#include "formats/psd/psd_codec.h"

namespace {

constexpr int SIDE_LIMIT = 30000;
constexpr int MAX_CHANNELS = 56;
constexpr int KEPT_LAYER_CHANNELS = 8;
constexpr int RESOURCE_RESOLUTION = 1005;
constexpr int RESOURCE_IPTC = 1028;
constexpr int ALPHA_CHANNEL = -1;  // a layer's transparency; ids below it are masks of their own size

enum Mode { BITMAP = 0, GREY = 1, INDEXED = 2, RGB = 3, CMYK = 4, MULTICHANNEL = 7, DUOTONE = 8, LAB = 9 };

struct PsdHeader {
    int channels = 0;
    int64_t height = 0;
    int64_t width = 0;
    int depth = 0;
    int mode = 0;
};

struct LayerChannel {
    int id;
    uint32_t length;  // with its 2-byte compression field
};

struct Layer {
    int64_t top = 0, left = 0, bottom = 0, right = 0;
    std::vector<LayerChannel> channels;  // the first few
    uint64_t data_bytes = 0;             // of all its channels
    bool is_page() const { return right - left > 0 && bottom - top > 0; }
};

struct PsdReader {
    Stream* s = nullptr;
    LoadContext* ctx = nullptr;
    PsdHeader h;
    std::vector<uint8_t> colour_data;
    std::vector<Layer> layers;
    int pages = 1;
    int64_t layer_data_start = 0;
    uint32_t dpi_x = 0, dpi_y = 0;
};

uint16_t u16(Stream* s) { return stream_read_u16be(s); }
uint32_t u32(Stream* s) { return stream_read_u32be(s); }

// A section's end, which must lie within the file.
Status section_end(Stream* s, int64_t* end)
{
    const uint32_t length = u32(s);
    if (stream_eof(s) || length > stream_bytes_left(s)) return STATUS_INCOMPLETE;
    *end = stream_tell(s) + length;
    return STATUS_OK;
}

Status read_header(PsdReader& r)
{
    uint8_t d[26];
    LUM_TRY(stream_read_exact(r.s, d, sizeof d));
    if (!psd_signature(d, sizeof d)) return STATUS_UNKNOWN_FORMAT;
    r.h.channels = d[12] << 8 | d[13];
    r.h.height = int64_t{d[14]} << 24 | d[15] << 16 | d[16] << 8 | d[17];
    r.h.width = int64_t{d[18]} << 24 | d[19] << 16 | d[20] << 8 | d[21];
    r.h.depth = d[22] << 8 | d[23];
    r.h.mode = d[24] << 8 | d[25];
    return STATUS_OK;
}

Status check_header(PsdReader& r)
{
    const PsdHeader& h = r.h;
    // Depths between 1 and 8 other than those are not written by anyone and have no line layout here.
    if (h.depth != 1 && h.depth != 8 && h.depth != 16) return load_fail(r.ctx, STATUS_BAD_HEADER, "PSD: Depth != 8/16!");
    switch (h.mode) {
    case BITMAP: case GREY: case INDEXED: case RGB: case CMYK: case MULTICHANNEL: case DUOTONE: case LAB: break;
    default: return load_fail(r.ctx, STATUS_BAD_HEADER, "PSD: Invalid Picture Mode !");
    }
    if (h.width < 1 || h.width > SIDE_LIMIT || h.height < 1 || h.height > SIDE_LIMIT)
        return load_fail(r.ctx, STATUS_BAD_HEADER, "PSD: Bad picture's size !");
    if (h.channels < 1 || h.channels > MAX_CHANNELS) return load_fail(r.ctx, STATUS_BAD_HEADER, "PSD: Bad number of channels !");
    return STATUS_OK;
}

Status read_colour_mode_data(PsdReader& r)
{
    int64_t end = 0;
    LUM_TRY(section_end(r.s, &end));
    r.colour_data.resize(static_cast<size_t>(end - stream_tell(r.s)));
    return stream_read_exact(r.s, r.colour_data.data(), r.colour_data.size());
}

// The IPTC block as the library keeps Photoshop resources: the APP13 marker's identifier, then
// the resource as Photoshop writes it (signature, number, empty name, length, data, padding).
void keep_iptc(PsdReader& r, const std::vector<uint8_t>& data)
{
    static const uint8_t lead[] = {'P', 'h', 'o', 't', 'o', 's', 'h', 'o', 'p', ' ', '3', '.', '0', 0,
                                   '8', 'B', 'I', 'M', 0x04, 0x04, 0, 0};
    std::vector<uint8_t> block(lead, lead + sizeof lead);
    const uint32_t n = static_cast<uint32_t>(data.size());
    for (int shift = 24; shift >= 0; shift -= 8) block.push_back(static_cast<uint8_t>(n >> shift));
    block.insert(block.end(), data.begin(), data.end());
    if (n & 1) block.push_back(0);
    load_add_chunk(r.ctx, 2, block.data(), static_cast<uint32_t>(block.size()));
}

Status read_resources(PsdReader& r)
{
    int64_t end = 0;
    LUM_TRY(section_end(r.s, &end));
    Stream* s = r.s;
    while (stream_tell(s) + 12 <= end) {
        uint8_t sig[4];
        LUM_TRY(stream_read_exact(s, sig, 4));
        if (std::memcmp(sig, "8BIM", 4) != 0) break;
        const int number = u16(s);
        const int name_length = stream_getc(s);
        if (name_length < 0) return STATUS_INCOMPLETE;
        // The name's length byte and characters take an even number of bytes.
        const int name_rest = name_length + ((name_length + 1) & 1);
        if (stream_skip(s, name_rest)) return STATUS_INCOMPLETE;
        const uint32_t size = u32(s);
        const int64_t data_start = stream_tell(s);
        if (stream_eof(s) || data_start + size > end) break;
        if (number == RESOURCE_RESOLUTION && size >= 16) {
            r.dpi_x = u32(s) >> 16;
            u16(s);
            u16(s);
            r.dpi_y = u32(s) >> 16;
        } else if (number == RESOURCE_IPTC && (r.ctx->params.flags & LOAD_KEEP_CHUNKS)) {
            std::vector<uint8_t> data(size);
            LUM_TRY(stream_read_exact(s, data.data(), size));
            keep_iptc(r, data);
        }
        LUM_TRY(stream_seek_inside(s, std::min(end, data_start + size + (size & 1))));
    }
    return stream_seek_inside(s, end);
}

// One layer record; its channel list is kept only as far as KEPT_LAYER_CHANNELS.
Status read_layer_record(Stream* s, int64_t end, Layer* l)
{
    l->top = static_cast<int32_t>(u32(s));
    l->left = static_cast<int32_t>(u32(s));
    l->bottom = static_cast<int32_t>(u32(s));
    l->right = static_cast<int32_t>(u32(s));
    const int channels = u16(s);
    if (stream_eof(s) || stream_tell(s) + int64_t{6} * channels > end) return STATUS_INCOMPLETE;
    for (int c = 0; c < channels; ++c) {
        const int id = static_cast<int16_t>(u16(s));
        const uint32_t length = u32(s);
        l->data_bytes += length;
        if (c < KEPT_LAYER_CHANNELS) l->channels.push_back({id, length});
    }
    stream_skip(s, 12);  // blend signature and key, opacity, clipping, flags, filler
    const uint32_t extra = u32(s);
    if (stream_eof(s) || stream_tell(s) + int64_t{extra} > end) return STATUS_INCOMPLETE;
    return stream_seek_inside(s, stream_tell(s) + extra);
}

Status read_layers(PsdReader& r, int64_t* section_stop)
{
    Stream* s = r.s;
    LUM_TRY(section_end(s, section_stop));
    if (*section_stop - stream_tell(s) < 6) return STATUS_OK;
    int64_t info_end = 0;
    LUM_TRY(section_end(s, &info_end));
    info_end = std::min(info_end, *section_stop);
    if (info_end - stream_tell(s) < 2) return STATUS_OK;
    const int count = std::abs(static_cast<int16_t>(u16(s)));
    for (int i = 0; i < count; ++i) {
        Layer l;
        // A damaged record list still leaves the merged picture to read.
        if (read_layer_record(s, info_end, &l) != STATUS_OK) {
            r.layers.clear();
            r.pages = 1;
            return STATUS_OK;
        }
        if (l.is_page()) ++r.pages;
        r.layers.push_back(std::move(l));
    }
    r.layer_data_start = stream_tell(s);
    return STATUS_OK;
}

// Planes of the merged picture: the mode's colour channels, with an alpha channel for RGB and
// multichannel files unless the caller has no use for it.
int planes_for(const PsdReader& r, int channels, bool layered)
{
    int used = std::min(channels, 4);
    if (used == 2) used = 1;  // grey with alpha is read as grey
    switch (r.h.mode) {
    case BITMAP: case GREY: case INDEXED: case DUOTONE: return 1;  // further channels are alphas
    default: break;
    }
    const LoadParams& p = r.ctx->params;
    const bool no_alpha = p.drop_fourth_channel || !(p.flags & LOAD_WANT_ALPHA);
    if (used == 4 && !layered && r.h.mode != CMYK && r.h.mode != LAB && no_alpha) used = 3;
    return used;
}

void describe(const PsdReader& r, int64_t width, int64_t height, int planes, HeaderInfo* h)
{
    header_init(h);
    std::snprintf(h->format_label, sizeof h->format_label, "Adobe Photoshop Document");
    h->width = static_cast<int32_t>(width);
    h->height = static_cast<int32_t>(height);
    h->x_dpi = r.dpi_x;
    h->y_dpi = r.dpi_y;
    h->bits_per_plane = static_cast<int16_t>(std::min(r.h.depth, 8));
    if (r.h.mode == BITMAP || r.h.mode == GREY) {
        h->planes = 1;
        h->bytes_per_plane_line = static_cast<int32_t>(r.h.depth == 1 ? (width + 7) / 8 : width);
    } else {
        h->layout_flags = HEADER_PLANAR;
        h->planes = static_cast<int16_t>(planes);
        h->bytes_per_plane_line = static_cast<int32_t>(r.h.depth == 1 ? (width + 7) / 8 : width);
    }
    if (r.h.mode == CMYK) {
        h->colour_model = 3;
        h->layout_flags |= HEADER_CMYK_INVERTED;
    } else if (r.h.mode == LAB) {
        h->colour_model = 6;
        h->layout_flags |= HEADER_LAB;
    }
}

// Bytes of one stored line of one channel.
size_t stored_line_bytes(const PsdHeader& h, int64_t width)
{
    return static_cast<size_t>(h.depth == 1 ? (width + 7) / 8 : width * (h.depth == 16 ? 2 : 1));
}

// 16-bit samples keep their high bytes.
void narrow(uint8_t* line, size_t samples)
{
    for (size_t i = 0; i < samples; ++i) line[i] = line[2 * i];
}

// The colour table, handed over as soon as the load begins so that a file ending early gets it
// too: indexed files' colour mode data (256 reds, then greens, then blues), bitmaps' set bits
// black; none for the others. 1-bit planes are gathered into an index (plane p giving bit p), so
// the bitmap table, of two entries, is for a single plane only: 1-bit RGB files get a table of
// their eight colours instead.
void set_palette(PsdReader& r, const HeaderInfo& h)
{
    uint8_t palette[768];
    if (r.h.mode == INDEXED && r.colour_data.size() >= 768) {
        for (int i = 0; i < 256; ++i)
            for (int c = 0; c < 3; ++c) palette[3 * i + c] = r.colour_data[static_cast<size_t>(256 * c + i)];
        load_set_palette(r.ctx, 0, 8, palette);
    } else if (r.h.depth == 1 && h.planes > 1) {
        if (r.h.mode != RGB) return;
        for (int i = 0; i < 256; ++i)
            for (int c = 0; c < 3; ++c) palette[3 * i + c] = (i >> c & 1) ? 255 : 0;
        load_set_palette(r.ctx, 0, 8, palette);
    } else if (r.h.depth == 1) {
        load_set_palette(r.ctx, 0, 8, PALETTE_SET_BITS_BLACK);
    }
}

Status finish(PsdReader& r) { return load_end(r.ctx, 0, 8, nullptr); }

Status read_merged(PsdReader& r)
{
    Stream* s = r.s;
    const int compression = u16(s);
    if (stream_eof(s)) return STATUS_INCOMPLETE;
    if (compression > 1) return load_fail(r.ctx, STATUS_BAD_HEADER, "PSD: Bad compression !");
    // The byte counts of every line of every channel come first; the lines are decoded in turn.
    if (compression == 1) {
        const int64_t table = int64_t{2} * r.h.channels * r.h.height;
        if (table > stream_bytes_left(s) || stream_skip(s, table)) return STATUS_INCOMPLETE;
    }
    const int planes = planes_for(r, r.h.channels, !r.layers.empty());
    HeaderInfo h;
    describe(r, r.h.width, r.h.height, planes, &h);
    const size_t line_bytes = stored_line_bytes(r.h, r.h.width);
    std::vector<uint8_t> line16(r.h.depth == 16 ? line_bytes : 0);
    LUM_TRY(load_begin(r.ctx, &h));
    set_palette(r, h);
    for (int p = 0; p < planes; ++p) {
        for (int y = 0; y < h.height; ++y) {
            uint8_t* line = r.h.depth == 16 ? line16.data() : h.line_buffer;
            if (compression == 1) LUM_TRY(packbits_decode_stream(s, line, line_bytes));
            else LUM_TRY(stream_read_exact(s, line, line_bytes));
            if (r.h.depth == 16) {
                narrow(line, line_bytes / 2);
                std::memcpy(h.line_buffer, line, line_bytes / 2);
            }
            LUM_TRY(load_put_lines(r.ctx, p, y, 1));
        }
    }
    return finish(r);
}

// The p-th layer that has an area (p from 1).
const Layer* page_layer(const PsdReader& r, int page, uint64_t* data_before)
{
    *data_before = 0;
    int seen = 0;
    for (const Layer& l : r.layers) {
        if (l.is_page() && ++seen == page) return &l;
        *data_before += l.data_bytes;
    }
    return nullptr;
}

Status read_layer_channel(PsdReader& r, const Layer& l, int plane, HeaderInfo& h,
                          std::vector<uint8_t>& packed, std::vector<uint8_t>& line16)
{
    Stream* s = r.s;
    const int compression = u16(s);
    if (stream_eof(s)) return STATUS_INCOMPLETE;
    if (compression > 1) return STATUS_CORRUPT;
    const int64_t width = l.right - l.left;
    const size_t line_bytes = stored_line_bytes(r.h, width);
    std::vector<uint16_t> counts;
    if (compression == 1) {
        counts.resize(static_cast<size_t>(h.height));
        for (uint16_t& n : counts) n = u16(s);
        if (stream_eof(s)) return STATUS_INCOMPLETE;
    }
    for (int y = 0; y < h.height; ++y) {
        uint8_t* line = r.h.depth == 16 ? line16.data() : h.line_buffer;
        if (compression == 1) {
            // Each line takes the bytes its count gives, whatever its code produces.
            const size_t n = counts[static_cast<size_t>(y)];
            LUM_TRY(stream_read_exact(s, packed.data(), n));
            std::memset(line, 0, line_bytes);
            packbits_decode(packed.data(), n, line, line_bytes, nullptr);
        } else {
            LUM_TRY(stream_read_exact(s, line, line_bytes));
        }
        if (r.h.depth == 16) {
            narrow(line, line_bytes / 2);
            std::memcpy(h.line_buffer, line, line_bytes / 2);
        }
        LUM_TRY(load_put_lines(r.ctx, plane, y, 1));
    }
    return STATUS_OK;
}

Status read_layer(PsdReader& r, int page)
{
    uint64_t before = 0;
    const Layer* l = page_layer(r, page, &before);
    const int64_t width = l->right - l->left, height = l->bottom - l->top;
    if (width > SIDE_LIMIT || height > SIDE_LIMIT) return load_fail(r.ctx, STATUS_BAD_HEADER, "PSD: Bad picture's size !");
    int colour_channels = 0;
    bool alpha = false;
    for (const LayerChannel& c : l->channels) {
        if (c.id >= 0) ++colour_channels;
        alpha |= c.id == ALPHA_CHANNEL;
    }
    const int planes = planes_for(r, colour_channels + (alpha ? 1 : 0), true);
    HeaderInfo h;
    describe(r, width, height, planes, &h);
    const size_t line_bytes = stored_line_bytes(r.h, width);
    std::vector<uint8_t> packed(65536), line16(r.h.depth == 16 ? line_bytes : 0);
    int64_t at = r.layer_data_start + static_cast<int64_t>(before);
    LUM_TRY(stream_seek_inside(r.s, at));
    LUM_TRY(load_begin(r.ctx, &h));
    set_palette(r, h);
    for (const LayerChannel& c : l->channels) {
        // Transparency goes with red, green and blue only; masks (ids below -1) have rectangles of
        // their own; channels the header has no plane for are left out.
        const int plane = c.id == ALPHA_CHANNEL ? (colour_channels == 3 ? 3 : -1) : c.id;
        if (plane >= 0 && plane < h.planes) {
            LUM_TRY(stream_seek_inside(r.s, at));
            LUM_TRY(read_layer_channel(r, *l, plane, h, packed, line16));
        }
        at += c.length;
    }
    return finish(r);
}

}  // namespace

bool psd_signature(const uint8_t* head, size_t size)
{
    static const uint8_t sig[6] = {'8', 'B', 'P', 'S', 0, 1};
    for (size_t i = 0; i < size && i < 6; ++i)
        if (head[i] != sig[i]) return false;
    return true;
}

Status psd_read(Stream* s, LoadContext* ctx)
{
    PsdReader r;
    r.s = s;
    r.ctx = ctx;
    LUM_TRY(read_header(r));
    LUM_TRY(check_header(r));
    LUM_TRY(read_colour_mode_data(r));
    LUM_TRY(read_resources(r));
    int64_t layers_end = 0;
    LUM_TRY(read_layers(r, &layers_end));
    ctx->image_count = r.pages;
    const int page = ctx->params.image_index;
    if (page >= 1 && page < r.pages) return read_layer(r, page);
    LUM_TRY(stream_seek_inside(s, layers_end));
    return read_merged(r);
}
