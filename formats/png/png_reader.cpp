// Reading a PNG file: the signature, the header and the chunks before the image data, the
// transformations that bring each colour type to lines the loading pipeline takes, then the rows
// (all passes of an interlaced file, the last one handed on) and the end chunks.
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/pixels.h"
#include "formats/common/resolution.h"
#include "formats/png/png_codec.h"
#include "formats/png/png_io.h"

namespace {

constexpr int PNG_SIDE_LIMIT = 63999;  // the loading pipeline's own limit
// Ancillary chunks the picture has no use for, skipped unread: some hold deflated data whose
// inflation would only cost time.
constexpr png_byte UNUSED_CHUNKS[] = "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0oFFs\0pCAL\0sBIT\0sCAL\0sPLT\0sRGB\0tIME";
constexpr int UNUSED_CHUNK_COUNT = 13;
constexpr png_byte TEXT_CHUNKS[] = "iTXt\0tEXt\0zTXt";
constexpr int TEXT_CHUNK_COUNT = 3;
// Bounds on what a file may make libpng hold for its ancillary chunks.
constexpr png_alloc_size_t CHUNK_BYTES_MAX = 1 << 20;
constexpr png_uint_32 CHUNKS_KEPT_MAX = 64;
// libpng takes a chunk's stated length on trust and clears a buffer that long before reading
// it; no block it needs for a real file is larger than its rows (512 KB at most) or the file.
constexpr int64_t LIBPNG_BLOCK_SLACK = 16 << 20;

// How far the read got, which decides what a jump back from libpng means.
enum PngStage : int {
    PNG_STAGE_SIGNATURE,  // not a PNG file
    PNG_STAGE_IMAGE,      // the file ends or breaks before its last row: incomplete
    PNG_STAGE_END,        // the picture is complete: damage in the end chunks costs nothing
};

// Everything the recovery point needs after a jump out of libpng lives here rather than in the
// guarded frame's locals, whose values a longjmp does not preserve.
struct PngReader {
    Stream* stream;
    LoadContext* ctx;
    png_structp png;
    png_infop info;
    png_infop end_info;
    PngErrorText error;
    HeaderInfo header;
    uint8_t* image;  // every row of an interlaced file
    uint8_t* wide_row;  // one row of 16-bit samples, before they are brought to 8 bits
    int narrow;         // 16-bit samples are brought to 8 bits here
    int channels;       // of the rows libpng delivers
    uint8_t palette[768];
    int64_t block_limit;  // largest block libpng may have
    int stage;
};

constexpr uint8_t PNG_SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool same_text_ignoring_case(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b) {
        const char ca = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a + 32) : *a;
        const char cb = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b + 32) : *b;
        if (ca != cb) return false;
    }
    return *a == *b;
}

struct PaletteAlpha {
    bool partial;    // an alpha that is neither fully clear nor opaque
    uint16_t clear;  // the first fully clear entry, or NO_TRANSPARENT_INDEX
};

PaletteAlpha palette_alpha(PngReader* r)
{
    PaletteAlpha pa{false, NO_TRANSPARENT_INDEX};
    png_bytep alpha = nullptr;
    int count = 0;
    png_color_16p colour = nullptr;
    if (!png_get_tRNS(r->png, r->info, &alpha, &count, &colour) || !alpha) return pa;
    for (int i = 0; i < count; ++i) {
        if (alpha[i] != 0 && alpha[i] != 255) pa.partial = true;
        if (alpha[i] == 0 && pa.clear == NO_TRANSPARENT_INDEX) pa.clear = static_cast<uint16_t>(i);
    }
    return pa;
}

// Without expansion libpng takes the background in the file's own sample depth.
void composite_onto_white(png_structp png, int depth)
{
    png_color_16 white{};
    const png_uint_16 full = depth == 16 ? 65535 : 255;
    white.red = white.green = white.blue = white.gray = full;
    png_set_background_fixed(png, &white, PNG_BACKGROUND_GAMMA_SCREEN, 0, PNG_FP_1);
}

// The transformations by colour type. Transparency the file holds is kept as an alpha channel
// unless the caller asked for it to be flattened onto white; a palette file keeps its palette
// and names its first clear entry as the transparent index.
void choose_transformations(PngReader* r, bool* composited)
{
    png_structp png = r->png;
    const LoadParams& params = r->ctx->params;
    const int colour_type = png_get_color_type(png, r->info);
    const bool keyed = png_get_valid(png, r->info, PNG_INFO_tRNS) != 0;
    const int depth = png_get_bit_depth(png, r->info);
    *composited = false;
    switch (colour_type) {
    case PNG_COLOR_TYPE_PALETTE:
        if (params.flatten_palette_alpha && palette_alpha(r).partial) {
            composite_onto_white(png, depth);
            *composited = true;
        }
        break;
    case PNG_COLOR_TYPE_GRAY:
        if (keyed) {
            png_set_tRNS_to_alpha(png);
            png_set_gray_to_rgb(png);
        }
        break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        if (params.flatten_alpha) {
            composite_onto_white(png, depth);
            *composited = true;
        } else {
            png_set_gray_to_rgb(png);
        }
        break;
    case PNG_COLOR_TYPE_RGB:
        if (params.flatten_alpha) {
            composite_onto_white(png, depth);
            *composited = true;
        } else if (keyed) {
            png_set_tRNS_to_alpha(png);
        }
        break;
    default:  // RGBA
        if (params.flatten_alpha) {
            composite_onto_white(png, depth);
            *composited = true;
        }
        break;
    }
    // Native loads keep the file's 16-bit samples, as little-endian words; the others get them
    // scaled to 8 bits here (value x 255 / 65535, as the pipeline scales every other depth).
    if (depth == 16) {
        if (params.flags & LOAD_NATIVE) png_set_swap(png);
        else r->narrow = 1;
    }
}

// Only with LOAD_KEEP_COMMENT: the comment is the text keyed "comment" in any case; texts
// beginning "nCC" are skipped.
void keep_texts(PngReader* r)
{
    if (!(r->ctx->params.flags & LOAD_KEEP_COMMENT)) return;
    png_textp texts = nullptr;
    const int count = png_get_text(r->png, r->info, &texts, nullptr);
    for (int i = 0; i < count; ++i) {
        const char* key = texts[i].key;
        const char* text = texts[i].text;
        if (!key || !text || std::strncmp(text, "nCC", 3) == 0) continue;
        if (same_text_ignoring_case(key, "comment")) load_set_comment(r->ctx, text, 0);
        else load_add_text(r->ctx, key, text, 0);
    }
}

void describe(PngReader* r, bool composited)
{
    png_structp png = r->png;
    HeaderInfo* h = &r->header;
    header_init(h);
    const bool interlaced = png_get_interlace_type(png, r->info) == PNG_INTERLACE_ADAM7;
    std::snprintf(h->format_label, sizeof h->format_label, "Portable Network Graphics%s",
                  interlaced ? " (Interlaced)" : "");
    h->width = static_cast<int32_t>(png_get_image_width(png, r->info));
    h->height = static_cast<int32_t>(png_get_image_height(png, r->info));
    const int channels = png_get_channels(png, r->info);
    r->channels = channels;
    const int depth = png_get_bit_depth(png, r->info);
    h->planes = 1;
    if (r->narrow) {
        h->bits_per_plane = static_cast<int16_t>(channels * 8);
    } else if (depth == 16) {
        h->components = static_cast<int16_t>(channels);
        h->bits_per_plane = 16;
    } else {
        h->bits_per_plane = static_cast<int16_t>(channels * depth);
    }
    h->bytes_per_plane_line = static_cast<int32_t>(r->narrow ? png_get_rowbytes(png, r->info) / 2 : png_get_rowbytes(png, r->info));
    h->compression = COMPRESSION_ZIP;

    png_uint_32 x = 0, y = 0;
    int unit = 0;
    if (png_get_pHYs(png, r->info, &x, &y, &unit) && unit == PNG_RESOLUTION_METER) {
        h->x_dpi = dpi_from_dots_per_metre(x);
        h->y_dpi = dpi_from_dots_per_metre(y);
    }
    if (png_get_color_type(png, r->info) == PNG_COLOR_TYPE_PALETTE) {
        if (!composited) h->transparent_index = palette_alpha(r).clear;
        png_colorp colours = nullptr;
        int count = 0;
        if (png_get_PLTE(png, r->info, &colours, &count)) {
            if (count > 256) count = 256;
            for (int i = 0; i < count; ++i) {
                r->palette[3 * i] = colours[i].red;
                r->palette[3 * i + 1] = colours[i].green;
                r->palette[3 * i + 2] = colours[i].blue;
            }
        }
        load_set_palette(r->ctx, 0, 8, r->palette);
    }
}

// A decoded row into the pipeline's line buffer. 16-bit big-endian samples become v x 255 / 65535
// with integer division, the library's rule for every depth; alpha is scaled the same way as
// transparency (65535 - v), so that only a pixel the file marks fully transparent becomes so.
void to_line(PngReader* r, const uint8_t* row, size_t row_bytes)
{
    uint8_t* line = r->header.line_buffer;
    if (!r->narrow) {
        if (row != line) std::memcpy(line, row, row_bytes);
        return;
    }
    const size_t samples = row_bytes / 2;
    const int c = r->channels;
    const bool alpha = c == 2 || c == 4;
    for (size_t i = 0; i < samples; ++i) {
        const unsigned v = static_cast<unsigned>(row[2 * i] << 8 | row[2 * i + 1]);
        line[i] = static_cast<uint8_t>(alpha && i % c == static_cast<size_t>(c - 1) ? 255 - (65535 - v) / 257 : v / 257);
    }
}

Status read_rows(PngReader* r, int passes)
{
    png_structp png = r->png;
    const int height = r->header.height;
    const size_t row_bytes = png_get_rowbytes(png, r->info);
    if (passes <= 1) {
        if (r->narrow) {
            r->wide_row = static_cast<uint8_t*>(std::malloc(row_bytes));
            if (!r->wide_row) return STATUS_NO_MEMORY;
        }
        uint8_t* row = r->narrow ? r->wide_row : r->header.line_buffer;
        for (int y = 0; y < height; ++y) {
            png_read_row(png, row, nullptr);
            to_line(r, row, row_bytes);
            LUM_TRY(load_put_lines(r->ctx, -1, y, 1));
        }
        return STATUS_OK;
    }
    r->image = pixels_alloc(static_cast<uint64_t>(row_bytes) * static_cast<uint64_t>(height));
    if (!r->image) return STATUS_NO_MEMORY;
    for (int pass = 0; pass < passes - 1; ++pass)
        for (int y = 0; y < height; ++y) png_read_row(png, r->image + row_bytes * y, nullptr);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = r->image + row_bytes * y;
        png_read_row(png, row, nullptr);
        to_line(r, row, row_bytes);
        LUM_TRY(load_put_lines(r->ctx, -1, y, 1));
    }
    return STATUS_OK;
}

png_voidp bounded_malloc(png_structp png, png_alloc_size_t size)
{
    const PngReader* r = static_cast<const PngReader*>(png_get_mem_ptr(png));
    if (static_cast<uint64_t>(size) > static_cast<uint64_t>(r->block_limit)) return nullptr;
    return std::malloc(size);
}

void bounded_free(png_structp, png_voidp block) { std::free(block); }

// The frame libpng may jump back to: no object with a destructor lives here.
Status read_guarded(PngReader* r)
{
    r->block_limit = r->stream->size + LIBPNG_BLOCK_SLACK;
    r->png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &r->error, png_io_error, png_io_warning, r, bounded_malloc,
                                      bounded_free);
    if (!r->png) return STATUS_NO_MEMORY;
    r->info = png_create_info_struct(r->png);
    r->end_info = png_create_info_struct(r->png);
    if (!r->info || !r->end_info) return STATUS_NO_MEMORY;
    if (setjmp(png_jmpbuf(r->png))) {
        switch (r->stage) {
        case PNG_STAGE_SIGNATURE: return load_fail(r->ctx, STATUS_UNKNOWN_FORMAT, "Png : %s", r->error.text);
        case PNG_STAGE_IMAGE: return load_fail(r->ctx, STATUS_INCOMPLETE, "Png : %s", r->error.text);
        default: return STATUS_OK;
        }
    }
    png_set_user_limits(r->png, PNG_SIDE_LIMIT, PNG_SIDE_LIMIT);
    png_set_chunk_malloc_max(r->png, CHUNK_BYTES_MAX);
    png_set_chunk_cache_max(r->png, CHUNKS_KEPT_MAX);
    png_set_keep_unknown_chunks(r->png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(r->png, PNG_HANDLE_CHUNK_NEVER, UNUSED_CHUNKS, UNUSED_CHUNK_COUNT);
    if (!(r->ctx->params.flags & LOAD_KEEP_COMMENT))
        png_set_keep_unknown_chunks(r->png, PNG_HANDLE_CHUNK_NEVER, TEXT_CHUNKS, TEXT_CHUNK_COUNT);
    png_set_read_fn(r->png, r->stream, png_io_read);
    png_read_info(r->png, r->info);
    r->stage = PNG_STAGE_IMAGE;

    bool composited = false;
    choose_transformations(r, &composited);
    const int passes = png_get_interlace_type(r->png, r->info) == PNG_INTERLACE_ADAM7 ? png_set_interlace_handling(r->png) : 1;
    png_read_update_info(r->png, r->info);
    keep_texts(r);
    describe(r, composited);
    LUM_TRY(load_begin(r->ctx, &r->header));

    LUM_TRY(read_rows(r, passes));
    load_end(r->ctx, 0, 8, nullptr);
    r->stage = PNG_STAGE_END;
    png_read_end(r->png, r->end_info);
    return STATUS_OK;
}

}  // namespace

bool png_signature(const uint8_t* head, size_t size)
{
    return size >= sizeof PNG_SIGNATURE && std::memcmp(head, PNG_SIGNATURE, sizeof PNG_SIGNATURE) == 0;
}

Status png_read(Stream* stream, LoadContext* ctx)
{
    const int64_t start = stream_tell(stream);
    uint8_t signature[sizeof PNG_SIGNATURE];
    const size_t got = stream_read(stream, signature, sizeof signature);
    if (!png_signature(signature, got)) return STATUS_UNKNOWN_FORMAT;
    stream_seek(stream, start, SEEK_SET);

    PngReader r{};
    r.stream = stream;
    r.ctx = ctx;
    const Status status = read_guarded(&r);
    png_destroy_read_struct(&r.png, &r.info, &r.end_info);
    pixels_free(r.image);
    std::free(r.wide_row);
    return status;
}
