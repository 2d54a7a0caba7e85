// Reading a GIF file: the signature and logical screen, the global colour table, then block by
// block: extensions (graphic control, comment, others skipped) and images, of which the one the
// caller asked for is decoded and the others are stepped over.
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "core/line_convert.h"
#include "formats/common/lzw.h"
#include "formats/common/stream_bytes.h"
#include "formats/gif/gif_codec.h"

namespace {

constexpr int EXTENSION = 0x21;
constexpr int IMAGE = 0x2C;
constexpr int TRAILER = 0x3B;
constexpr int GRAPHIC_CONTROL = 0xF9;
constexpr int COMMENT = 0xFE;
constexpr int CHUNK_BYTES = 32 * 1024;  // sub-blocks gathered before the decoder sees them

struct GifLoad {
    Stream* s;
    LoadContext* ctx;
    char version[3];
    uint8_t global_palette[768];
    int global_bits;  // 0: no global colour table
    int transparent;  // from the graphic control extension before the next image; -1 none
    int images;       // image descriptors met
    bool loaded;      // the requested image is in the picture
    Status last_error;
};

// Reads a colour table of 2^bits entries into a zeroed 256-entry palette.
Status read_palette(Stream* s, int bits, uint8_t palette[768])
{
    std::memset(palette, 0, 768);
    return stream_read_exact(s, palette, static_cast<size_t>(3) << bits);
}

// Steps over sub-blocks up to and including the empty one that ends them.
Status skip_sub_blocks(Stream* s)
{
    for (;;) {
        const int n = stream_next_byte(s);
        if (n < 0) return STATUS_INCOMPLETE;
        if (n == 0) return STATUS_OK;
        if (stream_skip(s, n)) return STATUS_INCOMPLETE;
    }
}

Status read_comment(GifLoad& g)
{
    if (!(g.ctx->params.flags & LOAD_KEEP_COMMENT)) return skip_sub_blocks(g.s);
    std::string text;
    for (;;) {
        const int n = stream_next_byte(g.s);
        if (n < 0) return STATUS_INCOMPLETE;
        if (n == 0) break;
        char block[255];
        if (stream_read_exact(g.s, block, static_cast<size_t>(n)) != STATUS_OK) return STATUS_INCOMPLETE;
        text.append(block, static_cast<size_t>(n));
    }
    // Comments beginning "nCC" are a drawing program's own records, not the author's text.
    if (!text.empty() && text.compare(0, 3, "nCC") != 0) load_set_comment(g.ctx, text.c_str(), static_cast<int>(text.size()));
    return STATUS_OK;
}

Status read_extension(GifLoad& g)
{
    const int label = stream_next_byte(g.s);
    if (label < 0) return STATUS_INCOMPLETE;
    if (label == GRAPHIC_CONTROL) {
        const int size = stream_next_byte(g.s);
        if (size < 0) return STATUS_INCOMPLETE;
        if (size == 4) {
            uint8_t b[4];
            if (stream_read_exact(g.s, b, 4) != STATUS_OK) return STATUS_INCOMPLETE;
            g.transparent = (b[0] & 1) ? b[3] : -1;
            return skip_sub_blocks(g.s);
        }
        if (stream_skip(g.s, size)) return STATUS_INCOMPLETE;
        return skip_sub_blocks(g.s);
    }
    if (label == COMMENT) return read_comment(g);
    return skip_sub_blocks(g.s);
}

// The image's LZW sub-blocks, gathered a chunk at a time for the decoder.
struct CodeSource {
    Stream* s;
    uint8_t* chunk;
    bool blocks_ended;  // the empty sub-block was read
    bool file_ended;

    // False when nothing more can come.
    bool refill(LzwDecoder* d)
    {
        size_t used = 0;
        while (!blocks_ended && !file_ended && used + 255 <= CHUNK_BYTES) {
            const int n = stream_next_byte(s);
            if (n <= 0) {
                blocks_ended = n == 0;
                file_ended = n < 0;
                break;
            }
            const size_t got = stream_read(s, chunk + used, static_cast<size_t>(n));
            used += got;
            if (got < static_cast<size_t>(n)) file_ended = true;
        }
        lzw_decoder_input(d, chunk, used);
        return used > 0;
    }
};

// Decodes the image's rows one after another into the pipeline's line buffer and hands each on.
Status decode_rows(GifLoad& g, HeaderInfo* h, int root_bits, bool interlaced)
{
    std::unique_ptr<LzwDecoder> d(new (std::nothrow) LzwDecoder);
    std::unique_ptr<uint8_t[]> chunk(new (std::nothrow) uint8_t[CHUNK_BYTES]);
    if (!d || !chunk) return STATUS_NO_MEMORY;
    lzw_decoder_init(d.get(), LZW_GIF(root_bits));
    CodeSource src{g.s, chunk.get(), false, false};

    const size_t width = static_cast<size_t>(h->width);
    for (int n = 0; n < h->height; ++n) {
        size_t filled = 0;
        while (filled < width) {
            size_t got = 0;
            const LzwResult r = lzw_decode(d.get(), h->line_buffer + filled, width - filled, &got);
            filled += got;
            if (r == LZW_OUTPUT_FULL) continue;
            if (r == LZW_NEED_INPUT && src.refill(d.get())) continue;
            if (r == LZW_END) {
                // The picture is as complete as its coder meant it to be; what follows is read by
                // the block loop, which stops at the end of the file.
                if (!src.blocks_ended) skip_sub_blocks(g.s);
                return STATUS_OK;
            }
            // The rows so far stand; the one cut short is dropped.
            if (r == LZW_BAD_CODE) return STATUS_CORRUPT;
            return src.file_ended ? STATUS_INCOMPLETE : STATUS_OK;
        }
        LUM_TRY(load_put_lines(g.ctx, -1, interlaced ? gif_interlaced_row(n, h->height) : n, 1));
    }
    if (src.blocks_ended) return STATUS_OK;
    return skip_sub_blocks(g.s) == STATUS_OK ? STATUS_OK : STATUS_INCOMPLETE;
}

Status read_image(GifLoad& g)
{
    uint8_t d[9];
    if (stream_read_exact(g.s, d, 9) != STATUS_OK) return STATUS_INCOMPLETE;
    const int width = d[4] | d[5] << 8;
    const int height = d[6] | d[7] << 8;
    const bool local_table = d[8] & 0x80;
    const bool interlaced = d[8] & 0x40;
    // Each image has its own table or the global one: a local table does not outlive its image.
    uint8_t local_palette[768] = {};
    const uint8_t* palette = g.global_palette;
    int bits = g.global_bits;
    if (local_table) {
        bits = (d[8] & 7) + 1;
        if (read_palette(g.s, bits, local_palette) != STATUS_OK) return STATUS_INCOMPLETE;
        palette = local_palette;
    }
    const int transparent = g.transparent;
    g.transparent = -1;  // a graphic control extension governs the one image after it
    const int index = g.images++;

    if (width < 1 || height < 1) return load_fail(g.ctx, STATUS_BAD_HEADER, "GIF : Bad picture's size !");
    const int root_bits = stream_next_byte(g.s);
    if (root_bits < 0) return STATUS_INCOMPLETE;
    if (root_bits < 2 || root_bits > 9) return load_fail(g.ctx, STATUS_BAD_HEADER, "GIF : Bad code's size !");
    if (!lzw_enabled()) return load_fail(g.ctx, STATUS_BAD_HEADER, "GIF : Bad compression (LZW) !");
    if (index != g.ctx->params.image_index || g.loaded) return skip_sub_blocks(g.s);
    if (!bits) {
        // No colour table anywhere: the codes' own alphabet, shown as grey levels.
        bits = root_bits > 8 ? 8 : root_bits;
        const int top = (1 << bits) - 1;
        for (int i = 0; i <= top; ++i) std::memset(local_palette + 3 * i, i * 255 / top, 3);
        palette = local_palette;
    }

    HeaderInfo h;
    header_init(&h);
    std::snprintf(h.format_label, sizeof h.format_label, "Compuserve GIF (Version %c%c%c%s)", g.version[0],
                  g.version[1], g.version[2], interlaced ? " - Interlaced" : "");
    h.layout_flags = LAYOUT_BYTE_PER_PIXEL;
    h.width = width;
    h.height = height;
    h.planes = 1;
    h.bits_per_plane = static_cast<int16_t>(bits);
    h.bytes_per_plane_line = width;
    h.compression = COMPRESSION_LZW;
    if (transparent >= 0) h.transparent_index = static_cast<uint16_t>(transparent);
    LUM_TRY(load_begin(g.ctx, &h));

    const Status status = decode_rows(g, &h, root_bits, interlaced);
    uint8_t finished[768];
    std::memcpy(finished, palette, sizeof finished);
    // Two black entries in a two-colour table would leave the picture blank.
    if (bits == 1 && !std::memcmp(finished, "\0\0\0\0\0\0", 6)) std::memset(finished + 3, 255, 3);
    load_end(g.ctx, 0, 8, finished);
    if (status == STATUS_OK) g.loaded = true;
    return status;
}

}  // namespace

bool gif_signature(const uint8_t* head, size_t size)
{
    return size >= 6 && (std::memcmp(head, "GIF87a", 6) == 0 || std::memcmp(head, "GIF89a", 6) == 0);
}

Status gif_read(Stream* s, LoadContext* ctx)
{
    uint8_t head[13];
    if (stream_read(s, head, 6) != 6 || (std::memcmp(head, "GIF87a", 6) != 0 && std::memcmp(head, "GIF89a", 6) != 0))
        return STATUS_UNKNOWN_FORMAT;
    if (stream_read_exact(s, head + 6, 7) != STATUS_OK) return STATUS_INCOMPLETE;

    GifLoad g{};
    g.s = s;
    g.ctx = ctx;
    std::memcpy(g.version, head + 3, 3);
    g.transparent = -1;
    if (head[10] & 0x80) {
        g.global_bits = (head[10] & 7) + 1;
        if (read_palette(s, g.global_bits, g.global_palette) != STATUS_OK) return STATUS_INCOMPLETE;
    }

    for (;;) {
        const int c = stream_next_byte(s);
        if (c < 0 || c == TRAILER) break;
        Status status = STATUS_OK;
        if (c == EXTENSION) {
            status = read_extension(g);
        } else if (c == IMAGE) {
            status = read_image(g);
            if (status != STATUS_OK) g.last_error = status;
            if (status != STATUS_OK || (ctx->params.flags & LOAD_PREVIEW_MARK)) break;
            continue;
        }
        // A file cut inside an extension still holds whatever image was read before it.
        if (status != STATUS_OK) {
            g.last_error = status;
            break;
        }
    }
    ctx->image_count = g.images;
    if (g.loaded) return STATUS_OK;
    return g.last_error != STATUS_OK ? g.last_error : Status{STATUS_UNKNOWN_FORMAT};
}
