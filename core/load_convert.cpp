// The conversion behind load_begin, load_put_lines and load_end: a reader's lines, in whatever
// packing, depth, plane layout, orientation, palette and colour space the file uses, become a
// Picture of the type, channel order, orientation and size the caller asked for.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "core/area_reducer.h"
#include "core/line_convert.h"
#include "core/load_internal.h"
#include "core/pixels.h"
#include "core/progress.h"
#include "ops/resize.h"

namespace {

constexpr int MAX_SIDE = 64000;
constexpr uint32_t COLOUR_SPACE_FLAGS =
    HEADER_CMYK_INVERTED | HEADER_CMYK | HEADER_LAB | HEADER_LAB_ALT | HEADER_LAB_SIGNED | HEADER_LAB_SIGNED_ALT;

enum class Result { Bilevel, Byte, Three, Four, Native, NativeRgba };
enum class Reduce { None, Nearest, Average, SelfReducing, ResizeAfter };

}  // namespace

struct LoadConversion {
    LineLayout layout{};
    SampleKind kind = SAMPLES_BYTE;
    LineUnpacker unpack = nullptr;
    LineStore store = nullptr;
    StoreSpec spec{};
    Result result = Result::Byte;
    Reduce reduce = Reduce::None;
    int depth = 0;
    int components = 0;       // the header's
    int planes = 1;
    bool planar = false;
    int source_width = 0, source_height = 0;
    int target_width = 0, target_height = 0;  // the picture's size while loading
    int fit_width = 0, fit_height = 0;        // the final size of the self-reducing and resize-after modes
    uint32_t header_flags = 0;
    uint16_t transparent_index = NO_TRANSPARENT_INDEX;
    int x_dpi = 0, y_dpi = 0;
    bool flip_rows = false;
    bool reverse_columns = false;
    bool unpack_into_row = false;  // no reduction, reversal or reordering: skip the sample line
    bool placed = false;           // the lines being put are in the picture already

    std::vector<uint8_t> line_buffer;
    size_t line_stride = 0;   // bytes from one line to the next in the reader's buffer
    int lines_per_call = 1;
    std::vector<uint8_t> samples;   // one unpacked line
    std::vector<uint8_t> reduced;   // one line after column picking or averaging
    std::vector<int32_t> column_pick;
    int last_kept_row = -1;
    AreaReducer averager;

    int next_line = 0;
    int64_t lines_done = 0;
    int64_t total_lines = 0;
    int dashes = 0;
    int last_progress = -1;
    bool stopped = false;    // the line callback asked to stop: this line is still stored
    bool cancelled = false;  // the cancel callback asked to stop: at once
};

namespace {

uint8_t* row_of(const Picture* p, int y) { return p->data + static_cast<ptrdiff_t>(y) * p->bytes_per_line; }

// Fits width x height into the box keeping proportions; false when it fits already.
bool fit_into_box(int width, int height, int box_w, int box_h, int* out_w, int* out_h)
{
    if (width <= box_w && height <= box_h) return false;
    int64_t w = box_w, h = int64_t{height} * box_w / width;
    if (h > box_h) {
        w = int64_t{width} * box_h / height;
        h = box_h;
    }
    *out_w = static_cast<int>(std::max<int64_t>(w, 1));
    *out_h = static_cast<int>(std::max<int64_t>(h, 1));
    return true;
}

Result choose_result(const HeaderInfo& h, const LoadParams& params, int depth)
{
    const uint32_t flags = params.flags;
    const int c = h.components;
    Result r;
    if ((h.layout_flags & (HEADER_CMYK_INVERTED | HEADER_CMYK)) && depth == 32) {
        r = Result::Four;
    } else if (depth <= 8) {
        if ((flags & LOAD_WANT_COLOUR) && (flags & LOAD_WANT_ALPHA)) r = Result::Four;
        else if (flags & LOAD_WANT_COLOUR) r = Result::Three;
        else if (depth == 1 && !(flags & LOAD_BILEVEL_AS_GREY)) r = Result::Bilevel;
        else r = Result::Byte;
    } else if (depth > 24) {
        if (c == 1) r = Result::Byte;
        else if (flags & LOAD_DEEP_AS_RGB) r = Result::Three;
        else r = Result::Four;
    } else {
        if (c == 1 && depth >= 10) r = Result::Byte;
        else if (flags & LOAD_WANT_ALPHA) r = Result::Four;
        else r = Result::Three;
    }
    // Lab files are three-component at heart, whatever their depth.
    if ((h.layout_flags & (HEADER_LAB | HEADER_LAB_ALT | HEADER_LAB_SIGNED | HEADER_LAB_SIGNED_ALT)) &&
        r == Result::Four && !(flags & LOAD_WANT_ALPHA))
        r = Result::Three;
    // Native four-component pictures need four stored components: copying three-component
    // pixels into four-byte slots would scramble them.
    if ((flags & LOAD_NATIVE) && c >= 1) r = r == Result::Four && c >= 4 ? Result::NativeRgba : Result::Native;
    return r;
}

int native_bytes_per_pixel(const HeaderInfo& h, Result r)
{
    const int per_component = (h.bits_per_plane + 7) / 8;
    return r == Result::NativeRgba ? per_component * 4 : per_component * h.components;
}

int result_bytes_per_pixel(Result r, const HeaderInfo& h)
{
    switch (r) {
    case Result::Bilevel: return 1;
    case Result::Byte: return 1;
    case Result::Three: return 3;
    case Result::Four: return 4;
    default: return native_bytes_per_pixel(h, r);
    }
}

void write_verbose_report(const LoadContext* ctx, const HeaderInfo& h, int depth)
{
    if (h.compression != 0)
        std::printf("A %s (%s) - %s was recognized : %s\n", h.format_label, colour_model_name(h.colour_model),
                    compression_name(h.compression, h.compression_text), ctx->file_name ? ctx->file_name : "");
    else
        std::printf("A %s (%s) was recognized : %s\n", h.format_label, colour_model_name(h.colour_model),
                    ctx->file_name ? ctx->file_name : "");
    std::printf("    Width:%d Height:%d with %lu colors\n", h.width, h.height, 1ul << std::min(depth, 24));
    std::printf("    Nplanes : %d      Bitscount : %d\n", h.planes, h.bits_per_plane);
    std::printf("    Bytes Per Plane : %d \n", h.bytes_per_plane_line);
    std::printf("    xdpi : %d         ydpi : %d\n", static_cast<int>(h.x_dpi & 0xFFFF), static_cast<int>(h.y_dpi & 0xFFFF));
}

void fill_file_info(FileInfo* info, const HeaderInfo& h, const LoadParams& params, int depth)
{
    int bits, components;
    if (h.components >= 1) {
        bits = h.bits_per_plane;
        components = h.components;
    } else if (depth <= 8) {
        bits = depth;
        components = 1;
    } else {
        bits = 8;
        components = depth >= 32 ? 4 : 3;
    }
    info->bits_per_component = static_cast<uint16_t>(bits);
    info->components = static_cast<uint16_t>(components);
    info->width = h.width;
    info->height = h.height;
    info->planes = static_cast<uint16_t>(h.planes);
    info->bits_per_plane = static_cast<uint16_t>(h.bits_per_plane);
    info->bytes_per_plane_line = h.bytes_per_plane_line;
    const int xd = static_cast<int16_t>(h.x_dpi & 0xFFFF), yd = static_cast<int16_t>(h.y_dpi & 0xFFFF);
    info->x_dpi = static_cast<int16_t>(xd >= 0 && xd <= 10000 ? xd : 0);
    info->y_dpi = static_cast<int16_t>(yd >= 0 && yd <= 10000 ? yd : 0);
    info->compression = h.compression;
    info->colour_model = h.colour_model;
    std::snprintf(info->format_label, sizeof info->format_label, "%s", h.format_label);
    std::snprintf(info->compression_text, sizeof info->compression_text, "%s", h.compression_text);
    if ((params.flags & LOAD_PREVIEW) && h.full_width > 0) {
        info->width = h.full_width;
        info->height = h.full_height;
        info->bytes_per_plane_line = h.full_bytes_per_line;
        info->bits_per_component = h.full_bits_per_component;
        info->components = h.full_components;
    }
}

// Allocates the pixel block, through the caller's allocator when there is one.
Status allocate_picture(LoadContext* ctx, LoadConversion* cv, const HeaderInfo& h)
{
    const LoadParams& params = ctx->params;
    Picture* pic = ctx->picture;
    const int64_t p = params.line_padding < 1 ? 1 : params.line_padding;
    const int64_t w = cv->target_width;
    int64_t bytes;
    switch (cv->result) {
    case Result::Bilevel: bytes = ((w + 8 * p - 1) / (8 * p)) * p; break;
    default: bytes = ((result_bytes_per_pixel(cv->result, h) * w + p - 1) / p) * p; break;
    }
    if (bytes > INT32_MAX) return STATUS_NO_MEMORY;
    const uint64_t total = static_cast<uint64_t>(bytes) * static_cast<uint64_t>(cv->target_height);
    if (total > PTRDIFF_MAX / 2) return STATUS_NO_MEMORY;

    picture_free(pic);
    *pic = Picture{};
    pic->width = cv->target_width;
    pic->height = cv->target_height;
    pic->bytes_per_line = static_cast<int32_t>(bytes);
    pic->line_padding = static_cast<uint16_t>(p);
    pic->transparent_index = NO_TRANSPARENT_INDEX;
    switch (cv->result) {
    case Result::Bilevel:
        pic->type = PIXEL_BINARY;
        pic->bits_per_component = 1;
        pic->components_per_pixel = 1;
        pic->bytes_per_pixel = 1;
        break;
    case Result::Byte:
        pic->type = PIXEL_GREY;
        pic->bits_per_component = 8;
        pic->components_per_pixel = 1;
        pic->bytes_per_pixel = 1;
        break;
    case Result::Three:
        pic->type = params.channel_order == 0 ? PIXEL_RGB : PIXEL_BGR;
        pic->bits_per_component = 8;
        pic->components_per_pixel = 3;
        pic->bytes_per_pixel = 3;
        break;
    case Result::Four:
        pic->type = PIXEL_RGBA;
        pic->bits_per_component = 8;
        pic->components_per_pixel = 4;
        pic->bytes_per_pixel = 4;
        break;
    case Result::Native:
    case Result::NativeRgba:
        pic->type = cv->result == Result::Native ? PIXEL_NATIVE : PIXEL_NATIVE_RGBA;
        pic->bits_per_component = static_cast<uint16_t>(h.bits_per_plane);
        pic->components_per_pixel = static_cast<uint16_t>(cv->result == Result::Native ? h.components : 4);
        pic->bytes_per_pixel = static_cast<uint16_t>(native_bytes_per_pixel(h, cv->result));
        break;
    }
    if (params.pixel_allocator) {
        pic->data = static_cast<uint8_t*>(params.pixel_allocator(
            cv->target_width, cv->target_height, pic->components_per_pixel, pic->bits_per_component,
            static_cast<int>(p), pic->bytes_per_line, params.allocator_data));
        if (pic->data) std::memset(pic->data, 0, static_cast<size_t>(total));
    } else {
        pic->data = pixels_alloc(total);
    }
    return pic->data ? STATUS_OK : STATUS_NO_MEMORY;
}

// Column picking of nearest-pixel reduction.
void pick_columns(const LoadConversion* cv, const uint8_t* in, uint8_t* out, int pixel_bytes)
{
    const int n = cv->target_width;
    const int32_t* pick = cv->column_pick.data();
    if (pixel_bytes == 0) {
        std::memset(out, 0, static_cast<size_t>((n + 7) / 8));
        for (int i = 0; i < n; ++i)
            if ((in[pick[i] >> 3] >> (7 - (pick[i] & 7))) & 1) out[i >> 3] = static_cast<uint8_t>(out[i >> 3] | (0x80 >> (i & 7)));
        return;
    }
    for (int i = 0; i < n; ++i)
        std::memcpy(out + static_cast<size_t>(i) * pixel_bytes, in + static_cast<size_t>(pick[i]) * pixel_bytes,
                    static_cast<size_t>(pixel_bytes));
}

void store_row(LoadContext* ctx, LoadConversion* cv, const uint8_t* line, int row, int plane)
{
    uint8_t* out = row_of(ctx->picture, row);
    if (!cv->planar) {
        cv->store(cv->spec, line, out);
        return;
    }
    if (cv->layout.bits == 1 && cv->result != Result::Three && cv->result != Result::Four) {
        store_plane_bits(line, out, cv->target_width, plane);
        return;
    }
    const int bpp = ctx->picture->bytes_per_pixel;
    int offset = plane;
    if (bpp == 3 || bpp == 4) {
        const ChannelPositions pos = channel_positions(bpp, ctx->params.channel_order);
        const int by_channel[4] = {pos.r, pos.g, pos.b, pos.a};
        offset = plane < bpp ? by_channel[plane] : -1;
    }
    if (offset >= 0 && offset < bpp) store_plane_bytes(line, out, cv->target_width, offset, bpp);
}

void report_progress(LoadContext* ctx, LoadConversion* cv, int line_index)
{
    const LoadParams& params = ctx->params;
    ++cv->lines_done;
    if (params.flags & LOAD_PROGRESS_DASHES) progress_advance(cv->lines_done, cv->total_lines, &cv->dashes);
    if (params.line_callback && params.line_callback(line_index, static_cast<int>(cv->total_lines), params.line_callback_data))
        cv->stopped = true;
    if (params.cancel_callback) {
        if (params.cancel_callback(params.cancel_data)) cv->cancelled = true;
    } else if (params.progress_callback && cv->total_lines > 0) {
        const int value = static_cast<int>(cv->lines_done * 100 / cv->total_lines);
        if (value != cv->last_progress) {
            cv->last_progress = value;
            params.progress_callback(value, params.progress_data);
        }
    }
}

// --- finishing ------------------------------------------------------------------------------

// CIE L*a*b* (D65 white) to sRGB, for readers of Lab files.
void lab_to_rgb(double L, double a, double b, uint8_t* rgb)
{
    const double fy = (L + 16.0) / 116.0, fx = fy + a / 500.0, fz = fy - b / 200.0;
    auto inverse = [](double t) { return t > 6.0 / 29.0 ? t * t * t : 3.0 * (6.0 / 29.0) * (6.0 / 29.0) * (t - 4.0 / 29.0); };
    const double X = 0.95047 * inverse(fx), Y = inverse(fy), Z = 1.08883 * inverse(fz);
    const double lin[3] = {3.2404542 * X - 1.5371385 * Y - 0.4985314 * Z, -0.9692660 * X + 1.8760108 * Y + 0.0415560 * Z,
                           0.0556434 * X - 0.2040259 * Y + 1.0572252 * Z};
    for (int c = 0; c < 3; ++c) {
        double v = std::clamp(lin[c], 0.0, 1.0);
        v = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
        rgb[c] = static_cast<uint8_t>(std::lround(v * 255.0));
    }
}

void convert_lab(Picture* pic, bool is_signed, int channel_order)
{
    const int bpp = pic->bytes_per_pixel;
    const ChannelPositions pos = channel_positions(bpp, channel_order);
    for (int y = 0; y < pic->height; ++y) {
        uint8_t* p = row_of(pic, y);
        for (int x = 0; x < pic->width; ++x, p += bpp) {
            // Samples were stored in channel order: L where R went, a where G went, b where B went.
            const double L = p[pos.r] * 100.0 / 255.0;
            const double a = is_signed ? static_cast<int8_t>(p[pos.g]) : p[pos.g] - 128.0;
            const double b = is_signed ? static_cast<int8_t>(p[pos.b]) : p[pos.b] - 128.0;
            uint8_t rgb[3];
            lab_to_rgb(L, a, b, rgb);
            p[pos.r] = rgb[0];
            p[pos.g] = rgb[1];
            p[pos.b] = rgb[2];
        }
    }
}

// Four-byte C, M, Y, K rows become three-byte rows in place (lines only shrink).
void cmyk_to_three(Picture* pic, bool inverted, int channel_order)
{
    const int64_t p = pic->line_padding;
    const int64_t bytes = ((3 * int64_t{pic->width} + p - 1) / p) * p;
    const bool bgr = channel_order == 1 || channel_order == 2;
    for (int y = 0; y < pic->height; ++y) {
        const uint8_t* in = row_of(pic, y);
        uint8_t* out = pic->data + y * bytes;
        for (int x = 0; x < pic->width; ++x) {
            const uint8_t* q = in + 4 * x;
            int rgb[3];
            if (inverted) {
                const int k = 255 - q[3];
                for (int c = 0; c < 3; ++c) rgb[c] = std::max(0, 255 - (255 - q[c]) - k);
            } else {
                for (int c = 0; c < 3; ++c) rgb[c] = (255 - q[c]) * (255 - q[3]) / 255;
            }
            uint8_t* o = out + 3 * x;
            o[0] = static_cast<uint8_t>(bgr ? rgb[2] : rgb[0]);
            o[1] = static_cast<uint8_t>(rgb[1]);
            o[2] = static_cast<uint8_t>(bgr ? rgb[0] : rgb[2]);
        }
    }
    pic->bytes_per_line = static_cast<int32_t>(bytes);
    pic->bytes_per_pixel = 3;
    pic->components_per_pixel = 3;
    pic->type = bgr ? PIXEL_BGR : PIXEL_RGB;
}

void invert_bytes(Picture* pic)
{
    const size_t n = static_cast<size_t>(picture_data_size(pic));
    for (size_t i = 0; i < n; ++i) pic->data[i] = static_cast<uint8_t>(~pic->data[i]);
}

// Grey levels (stored where R goes) become full colour pixels; levels of files below 8 bits are
// spread over 0 to 255 so that a 4-bit grey file is not loaded nearly black.
void expand_levels(Picture* pic, int depth, int channel_order, uint8_t alpha)
{
    const int bpp = pic->bytes_per_pixel;
    const ChannelPositions pos = channel_positions(bpp, channel_order);
    const unsigned max = depth >= 8 ? 255u : (1u << depth) - 1;
    for (int y = 0; y < pic->height; ++y) {
        uint8_t* p = row_of(pic, y);
        for (int x = 0; x < pic->width; ++x, p += bpp) {
            const uint8_t v = static_cast<uint8_t>(std::min<unsigned>(p[pos.r], max) * 255u / max);
            p[pos.r] = p[pos.g] = p[pos.b] = v;
            if (bpp == 4) p[pos.a] = alpha;
        }
    }
}

void expand_through_map(Picture* pic, const uint8_t* map, int channel_order, uint8_t alpha)
{
    const int bpp = pic->bytes_per_pixel;
    const ChannelPositions pos = channel_positions(bpp, channel_order);
    for (int y = 0; y < pic->height; ++y) {
        uint8_t* p = row_of(pic, y);
        for (int x = 0; x < pic->width; ++x, p += bpp) {
            const uint8_t i = p[pos.r];
            p[pos.r] = map[i];
            p[pos.g] = map[256 + i];
            p[pos.b] = map[512 + i];
            if (bpp == 4) p[pos.a] = alpha;
        }
    }
}

// The bytes holding samples or indices, for the negative flag.
void invert_samples(Picture* pic, int depth, bool index_only, int channel_order)
{
    if (pic->type == PIXEL_BINARY) {
        invert_bytes(pic);
        return;
    }
    const unsigned max = depth >= 8 || depth <= 0 ? 255u : (1u << depth) - 1;
    const int bpp = pic->bytes_per_pixel;
    const ChannelPositions pos = channel_positions(bpp, channel_order);
    for (int y = 0; y < pic->height; ++y) {
        uint8_t* p = row_of(pic, y);
        for (int x = 0; x < pic->width; ++x, p += bpp) {
            if (bpp == 1 || index_only) {
                uint8_t& v = bpp == 1 ? p[0] : p[pos.r];
                v = static_cast<uint8_t>(max - std::min<unsigned>(v, max));
            } else {
                for (int c = 0; c < bpp; ++c)
                    if (bpp != 4 || c != pos.a) p[c] = static_cast<uint8_t>(255 - p[c]);
            }
        }
    }
}

// A bilevel picture becomes an 8-bit one holding 0 and 1.
bool widen_bilevel(Picture* pic)
{
    Picture wide;
    if (!picture_alloc(&wide, PIXEL_COLORS, pic->line_padding, pic->width, pic->height)) return false;
    const size_t row_bytes = static_cast<size_t>(pic->width + 7) / 8;
    for (int y = 0; y < pic->height; ++y) {
        const uint8_t* in = row_of(pic, y);
        // Rows of zeros are zeros in the new block already. Left alone, the rows a damaged file
        // never delivered cost nothing, however large the size it declared.
        if (in[0] == 0 && std::memcmp(in, in + 1, row_bytes - 1) == 0) continue;
        uint8_t* out = row_of(&wide, y);
        for (int x = 0; x < pic->width; ++x) out[x] = static_cast<uint8_t>(bit_get(in, x));
    }
    pixels_free(pic->data);
    pic->data = wide.data;
    if (!pic->colour_map) pic->colour_map = wide.colour_map;
    else std::free(wide.colour_map);
    pic->type = PIXEL_COLORS;
    pic->bytes_per_line = wide.bytes_per_line;
    pic->bytes_per_pixel = 1;
    pic->bits_per_component = 8;
    return true;
}

void apply_palette(LoadContext* ctx, LoadConversion* cv, uint32_t kind, int bits, const uint8_t* palette)
{
    Picture* pic = ctx->picture;
    const LoadParams& params = ctx->params;
    const int entries = 1 << std::min(cv->depth, 8);
    uint8_t map[1024] = {};
    palette_to_map(kind, bits, palette, entries, map);
    const bool negative = kind & PALETTE_NEGATIVE;

    if (cv->depth == 1 && (pic->type == PIXEL_BINARY || pic->bytes_per_pixel == 1)) {
        const bool black_white = map[0] == 0 && map[256] == 0 && map[512] == 0 && map[1] == 255 && map[257] == 255 && map[513] == 255;
        const bool white_black = map[0] == 255 && map[256] == 255 && map[512] == 255 && map[1] == 0 && map[257] == 0 && map[513] == 0;
        if (black_white || white_black) {
            const bool flip = white_black != negative;
            if (pic->type == PIXEL_BINARY) {
                if (flip) invert_bytes(pic);
            } else {
                // Bit values 0 and 1 become the grey levels they stand for.
                const size_t n = static_cast<size_t>(picture_data_size(pic));
                for (size_t i = 0; i < n; ++i) pic->data[i] = (pic->data[i] & 1) != flip ? 255 : 0;
                pic->type = PIXEL_GREY;
                pic->colour_used = 256;
            }
            return;
        }
        if (pic->type == PIXEL_BINARY) {
            if (negative) invert_bytes(pic);
            if (!widen_bilevel(pic)) return;
            std::memcpy(pic->colour_map, map, sizeof map);
            pic->colour_used = 2;
            return;
        }
    }
    if (negative) invert_samples(pic, cv->depth, true, params.channel_order);
    if (pic->bytes_per_pixel == 1) {
        if (!pic->colour_map) pic->colour_map = static_cast<uint8_t*>(std::calloc(COLOUR_MAP_BYTES, 1));
        if (pic->colour_map) std::memcpy(pic->colour_map, map, sizeof map);
        pic->type = PIXEL_COLORS;
        pic->colour_used = static_cast<int16_t>(std::min(entries, 256));
    } else {
        expand_through_map(pic, map, params.channel_order, params.default_alpha);
    }
}

void apply_colour_space(LoadContext* ctx, LoadConversion* cv, bool negative)
{
    Picture* pic = ctx->picture;
    const LoadParams& params = ctx->params;
    const uint32_t f = cv->header_flags;
    const bool keep_cmyk = params.flags & LOAD_KEEP_CMYK;
    if ((f & (HEADER_LAB | HEADER_LAB_ALT | HEADER_LAB_SIGNED | HEADER_LAB_SIGNED_ALT)) && pic->bytes_per_pixel >= 3) {
        convert_lab(pic, (f & (HEADER_LAB_SIGNED | HEADER_LAB_SIGNED_ALT)) != 0, params.channel_order);
    } else if ((f & HEADER_CMYK_INVERTED) && pic->bytes_per_pixel == 4) {
        if (keep_cmyk) invert_bytes(pic);
        else cmyk_to_three(pic, true, params.channel_order);
    } else if ((f & HEADER_CMYK) && pic->bytes_per_pixel == 4 && !keep_cmyk) {
        cmyk_to_three(pic, false, params.channel_order);
    } else if (cv->depth <= 8 && (cv->result == Result::Three || cv->result == Result::Four)) {
        if (negative) invert_samples(pic, cv->depth, true, params.channel_order);
        expand_levels(pic, cv->depth, params.channel_order, params.default_alpha);
        return;
    } else if (negative) {
        invert_samples(pic, cv->depth, false, params.channel_order);
    }
}

void settle_type(LoadContext* ctx, LoadConversion* cv, bool has_palette)
{
    Picture* pic = ctx->picture;
    const LoadParams& params = ctx->params;
    switch (cv->result) {
    case Result::Bilevel:
        pic->type = PIXEL_BINARY;
        pic->colour_used = 2;
        break;
    case Result::Byte:
        pic->type = cv->depth == 1 || !has_palette || cv->depth > 8 ? PIXEL_GREY : PIXEL_COLORS;
        pic->colour_used = static_cast<int16_t>(cv->depth >= 8 ? 256 : 1 << cv->depth);
        break;
    case Result::Three:
        pic->type = params.channel_order == 0 ? PIXEL_RGB : PIXEL_BGR;
        break;
    case Result::Four: {
        const bool cmyk = (cv->header_flags & (HEADER_CMYK | HEADER_CMYK_INVERTED)) && (params.flags & LOAD_KEEP_CMYK);
        pic->type = cmyk                         ? PIXEL_CMYK
                    : params.channel_order == 0 ? PIXEL_RGBA
                    : params.channel_order == 1 ? PIXEL_ABGR
                    : params.channel_order == 3 ? PIXEL_ARGB
                                                 : PIXEL_BGRA;
        break;
    }
    case Result::Native:
    case Result::NativeRgba:
        pic->type = cv->components == 1 ? PIXEL_GREY : cv->components == 3 ? PIXEL_RGB : PIXEL_RGBA;
        if (cv->components == 1) pic->colour_used = 256;
        break;
    }
}

// Copies the reader's palette: the number of entries follows from the depth. Deeper files have
// no colour table to apply.
void hold_palette(LoadContext* ctx, uint32_t kind, int bits, const uint8_t* palette, int depth)
{
    ctx->palette_waiting = nullptr;
    ctx->palette_held = 0;
    if (!palette || depth < 1 || depth > 8) return;
    std::memcpy(ctx->palette, palette, static_cast<size_t>(palette_bytes(kind, 1 << depth)));
    ctx->palette_kind = kind;
    ctx->palette_bits = bits;
    ctx->palette_held = 1;
}

}  // namespace

void load_set_palette(LoadContext* ctx, uint32_t kind, int bits, const uint8_t* palette)
{
    if (ctx->conversion) {
        hold_palette(ctx, kind, bits, palette, ctx->conversion->depth);
        return;
    }
    ctx->palette_held = 0;
    ctx->palette_waiting = palette;
    ctx->palette_kind = kind;
    ctx->palette_bits = bits;
}

Status load_begin(LoadContext* ctx, HeaderInfo* h)
{
    const LoadParams& params = ctx->params;
    const int depth = int{h->planes} * h->bits_per_plane;
    if (depth < 1 || depth > 32 || h->planes < 1 || h->bits_per_plane < 1 || h->width < 1 || h->width >= MAX_SIDE ||
        h->height < 1 || h->height >= MAX_SIDE)
        return STATUS_UNKNOWN_FORMAT;
    if (h->components < 0 || h->components > 8 || (h->components >= 1 && h->bits_per_plane > 16))
        return STATUS_UNKNOWN_FORMAT;

    load_conversion_release(ctx);
    auto* cv = new (std::nothrow) LoadConversion;
    if (!cv) return STATUS_NO_MEMORY;
    ctx->conversion = cv;
    ctx->began = 1;

    if (ctx->info) fill_file_info(ctx->info, *h, params, depth);
    if (params.flags & LOAD_VERBOSE) write_verbose_report(ctx, *h, depth);
    if (params.flags & LOAD_PROGRESS_DASHES) progress_start();

    int xd = static_cast<int16_t>(h->x_dpi & 0xFFFF), yd = static_cast<int16_t>(h->y_dpi & 0xFFFF);
    if (xd == 0) xd = 72;
    if (yd == 0) yd = 72;
    if (xd < 0 || xd > 10000 || yd < 0 || yd > 10000) xd = yd = 0;
    cv->x_dpi = xd;
    cv->y_dpi = yd;

    cv->depth = depth;
    if (ctx->palette_waiting) hold_palette(ctx, ctx->palette_kind, ctx->palette_bits, ctx->palette_waiting, depth);
    cv->components = h->components;
    cv->planes = h->planes;
    cv->header_flags = h->layout_flags;
    cv->transparent_index = h->transparent_index;
    cv->source_width = cv->target_width = h->width;
    cv->source_height = cv->target_height = h->height;
    cv->result = choose_result(*h, params, depth);

    // Planar files with a single component plane are just lines.
    uint32_t layout_flags = h->layout_flags;
    if ((layout_flags & HEADER_PLANAR) && h->planes == 1 && h->components == 0) layout_flags &= ~HEADER_PLANAR;
    cv->planar = layout_flags & HEADER_PLANAR;

    cv->layout = LineLayout{layout_flags, h->planes, h->bits_per_plane, h->components, h->width, h->bytes_per_plane_line};
    if (cv->result == Result::Native || cv->result == Result::NativeRgba) {
        cv->kind = SAMPLES_RAW;
        cv->unpack = [](const LineLayout& l, const uint8_t* in, uint8_t* out) {
            std::memcpy(out, in, static_cast<size_t>(line_input_bytes(l)));
        };
    } else {
        cv->unpack = line_unpacker_for(cv->layout, cv->result == Result::Bilevel, &cv->kind);
    }
    if (!cv->unpack) return load_fail(ctx, STATUS_UNKNOWN_FORMAT, "Unsupported line layout (%d planes of %d bits)", h->planes, h->bits_per_plane);

    // The reader's own line size is trusted only as far as it is large enough for what the
    // unpacker reads: a header that understates it must not send us past the buffer.
    const int64_t per_plane_needed = plane_line_bytes_needed(cv->layout);
    if (h->components == 0 && cv->layout.bytes_per_plane_line < per_plane_needed) {
        if (per_plane_needed > INT32_MAX) return STATUS_NO_MEMORY;
        cv->layout.bytes_per_plane_line = static_cast<int>(per_plane_needed);
    }
    const int64_t line_bytes = line_input_bytes(cv->layout);
    cv->lines_per_call = std::max<int>(1, h->lines_per_call);
    cv->line_stride = static_cast<size_t>(line_bytes);
    const int64_t buffer_bytes = int64_t{cv->lines_per_call} * line_bytes + 1024;
    if (line_bytes <= 0 || buffer_bytes > (int64_t{1} << 31)) return STATUS_NO_MEMORY;

    // Reduction into the box.
    int fit_w, fit_h;
    if (params.box_width >= 1 && params.box_height >= 1 &&
        fit_into_box(h->width, h->height, params.box_width, params.box_height, &fit_w, &fit_h)) {
        cv->fit_width = fit_w;
        cv->fit_height = fit_h;
        const uint32_t no_average = HEADER_PLANAR | COLOUR_SPACE_FLAGS | HEADER_SELF_REDUCING;
        if (params.reduce_method != 2) {
            if (h->layout_flags & HEADER_SELF_REDUCING) {
                cv->reduce = Reduce::SelfReducing;
            } else {
                cv->reduce = Reduce::Nearest;
                cv->target_width = fit_w;
                cv->target_height = fit_h;
            }
        } else if (!(h->layout_flags & no_average) && h->bits_per_plane * h->planes == 24 && cv->kind == SAMPLES_RGB &&
                   (cv->result == Result::Three || cv->result == Result::Four)) {
            cv->reduce = Reduce::Average;
            cv->target_width = fit_w;
            cv->target_height = fit_h;
        } else {
            cv->reduce = Reduce::ResizeAfter;
        }
    }

    Status status = allocate_picture(ctx, cv, *h);
    if (status != STATUS_OK) return status;

    const int sample_pixel = sample_bytes(cv->kind, cv->layout);
    try {
        cv->line_buffer.assign(static_cast<size_t>(buffer_bytes), 0);
        const size_t sample_line = cv->kind == SAMPLES_PLANE || cv->kind == SAMPLES_RAW
                                       ? static_cast<size_t>(line_bytes)
                                       : static_cast<size_t>(std::max(sample_pixel, 1)) * h->width;
        // Deep files unpack every sample before keeping four, and grey with alpha widens in place.
        const size_t widest = static_cast<size_t>(h->width) * std::max<int>(4, h->components);
        cv->samples.assign(std::max(sample_line, widest) + 16, 0);
        cv->reduced.assign(std::max(sample_line, widest) + 16, 0);
        if (cv->reduce == Reduce::Nearest) {
            cv->column_pick.resize(static_cast<size_t>(cv->target_width));
            for (int i = 0; i < cv->target_width; ++i) {
                int64_t x;
                if (cv->result == Result::Bilevel || cv->kind == SAMPLES_PLANE) {
                    x = int64_t{h->width} * i / cv->target_width;
                } else {
                    // The last source column that lands on target column i.
                    x = (int64_t{i + 1} * h->width - 1) / cv->target_width;
                }
                cv->column_pick[static_cast<size_t>(i)] = static_cast<int32_t>(std::min<int64_t>(x, h->width - 1));
            }
        }
    } catch (const std::bad_alloc&) {
        return STATUS_NO_MEMORY;
    }
    if (cv->reduce == Reduce::Average &&
        !area_reducer_init(&cv->averager, h->width, h->height, cv->target_width, cv->target_height, 3))
        return STATUS_NO_MEMORY;

    cv->spec = StoreSpec{};
    switch (cv->result) {
    case Result::Bilevel: cv->spec.target = STORE_BILEVEL; break;
    case Result::Byte: cv->spec.target = STORE_BYTE; break;
    case Result::Three: cv->spec.target = STORE_THREE; break;
    case Result::Four: cv->spec.target = STORE_FOUR; break;
    default: cv->spec.target = STORE_NATIVE; break;
    }
    cv->spec.source = cv->kind;
    // CMYK pixels keep their ink order whatever order colour pictures are asked for in.
    cv->spec.channel_order = (h->layout_flags & (HEADER_CMYK | HEADER_CMYK_INVERTED)) ? 0 : params.channel_order;
    cv->spec.default_alpha = params.default_alpha;
    cv->spec.width = cv->target_width;
    cv->spec.native_bytes = static_cast<int>(std::min<int64_t>(line_bytes, int64_t{cv->target_width} * ctx->picture->bytes_per_pixel));
    if (!cv->planar) {
        cv->store = line_store_for(cv->spec);
        if (!cv->store) return load_fail(ctx, STATUS_UNKNOWN_FORMAT, "Unsupported line layout (%d planes of %d bits)", h->planes, h->bits_per_plane);
    }

    cv->flip_rows = ((h->orientation ^ params.origin) & PICTURE_ORIGIN_BOTTOM) != 0;
    cv->reverse_columns = ((h->orientation ^ params.origin) & PICTURE_ORIGIN_RIGHT_TO_LEFT) != 0;
    cv->total_lines = int64_t{h->height} * (cv->planar ? h->planes : 1);
    cv->unpack_into_row = !cv->planar && cv->reduce == Reduce::None && !cv->reverse_columns && cv->kind != SAMPLES_RAW &&
                          h->components <= 4 && line_store_copies(cv->spec);
    h->line_buffer = cv->line_buffer.data();
    return STATUS_OK;
}

uint8_t* load_lines_in_place(LoadContext* ctx, int line, int count)
{
    const LoadConversion* cv = ctx->conversion;
    const Picture* pic = ctx->picture;
    if (!cv || !pic->data || !cv->unpack_into_row || !line_unpacker_copies(cv->unpack)) return nullptr;
    if (line < 0 || count < 1 || count > cv->lines_per_call || line > cv->source_height - count) return nullptr;
    // Several lines go where the reader's buffer would have them: one after the other, top down.
    if (count > 1 && (cv->flip_rows || static_cast<size_t>(pic->bytes_per_line) != cv->line_stride)) return nullptr;
    return row_of(pic, cv->flip_rows ? cv->source_height - 1 - line : line);
}

Status load_put_lines_in_place(LoadContext* ctx, int line, int count)
{
    LoadConversion* cv = ctx->conversion;
    if (!cv) return STATUS_OK;
    cv->placed = true;
    const Status s = load_put_lines(ctx, -1, line, count);
    cv->placed = false;
    return s;
}

Status load_put_lines(LoadContext* ctx, int plane, int line, int count)
{
    LoadConversion* cv = ctx->conversion;
    if (!cv || !ctx->picture->data) return STATUS_OK;
    if (plane < 0) plane = 0;
    // A reader cannot hand over more lines than its buffer holds.
    count = std::clamp(count, 0, cv->lines_per_call);
    const int last_plane = cv->planar ? cv->planes - 1 : 0;
    const int pixel_bytes = cv->kind == SAMPLES_BITS ? 0 : sample_bytes(cv->kind, cv->layout);
    const int plane_pixel_bytes = cv->planar && cv->layout.bits == 1 ? 0 : pixel_bytes;

    for (int i = 0; i < count; ++i) {
        int file_line;
        if (line < 0) {
            file_line = cv->next_line;
            if (plane >= last_plane) cv->next_line = cv->next_line + 1 >= cv->source_height ? 0 : cv->next_line + 1;
        } else {
            file_line = line + i;
        }
        const uint8_t* in = cv->line_buffer.data() + static_cast<size_t>(i) * cv->line_stride;
        if (file_line < 0 || file_line >= cv->source_height || plane > last_plane) continue;
        const int row = cv->flip_rows ? cv->source_height - 1 - file_line : file_line;

        if (cv->stopped) return STATUS_STOPPED;
        report_progress(ctx, cv, file_line);
        if (cv->cancelled) return STATUS_STOPPED;

        int target_row = row;
        if (cv->reduce == Reduce::Nearest) {
            target_row = static_cast<int>(int64_t{row} * cv->target_height / cv->source_height);
            if (target_row == cv->last_kept_row && !cv->planar) {
                if (cv->stopped) return STATUS_STOPPED;
                continue;
            }
            if (plane >= last_plane) cv->last_kept_row = target_row;
        }

        if (cv->unpack_into_row) {
            if (!cv->placed) cv->unpack(cv->layout, in, row_of(ctx->picture, row));
            if (cv->stopped) return STATUS_STOPPED;
            continue;
        }
        uint8_t* samples = cv->samples.data();
        cv->unpack(cv->layout, in, samples);
        if (cv->reverse_columns) reverse_line(samples, cv->source_width, cv->planar ? plane_pixel_bytes : pixel_bytes);

        const uint8_t* ready = samples;
        if (cv->reduce == Reduce::Nearest) {
            pick_columns(cv, samples, cv->reduced.data(), cv->planar ? plane_pixel_bytes : pixel_bytes);
            ready = cv->reduced.data();
        } else if (cv->reduce == Reduce::Average) {
            const int done = area_reducer_push(&cv->averager, samples, cv->reduced.data());
            if (done < 0) {
                if (cv->stopped) return STATUS_STOPPED;
                continue;
            }
            target_row = cv->flip_rows ? cv->target_height - 1 - done : done;
            ready = cv->reduced.data();
        }
        store_row(ctx, cv, ready, target_row, plane);
        if (cv->stopped) return STATUS_STOPPED;
    }
    return STATUS_OK;
}

Status load_end(LoadContext* ctx, uint32_t palette_kind, int palette_bits, const uint8_t* palette)
{
    LoadConversion* cv = ctx->conversion;
    Picture* pic = ctx->picture;
    // Without conversion state the load never began or is finished already.
    if (!cv || !pic->data) {
        load_conversion_release(ctx);
        return STATUS_OK;
    }
    if (!palette && ctx->palette_held) {
        palette = ctx->palette;
        palette_kind = ctx->palette_kind;
        palette_bits = ctx->palette_bits;
    }
    const LoadParams& params = ctx->params;
    if (params.flags & LOAD_PROGRESS_DASHES) std::fputc('\n', stderr);
    if (cv->reduce == Reduce::Average) {
        const int done = area_reducer_flush(&cv->averager, cv->reduced.data());
        if (done >= 0) store_row(ctx, cv, cv->reduced.data(), cv->flip_rows ? cv->target_height - 1 - done : done, 0);
    }

    pic->origin = params.origin;
    pic->x_dpi = cv->x_dpi;
    pic->y_dpi = cv->y_dpi;
    pic->transparent_index = cv->transparent_index;

    const bool has_palette = palette && cv->depth <= 8;
    settle_type(ctx, cv, has_palette);
    if (has_palette) apply_palette(ctx, cv, palette_kind, palette_bits, palette);
    else apply_colour_space(ctx, cv, (palette_kind & PALETTE_NEGATIVE) != 0);

    const Reduce reduce = cv->reduce;
    const int fit_w = cv->fit_width, fit_h = cv->fit_height;
    load_conversion_release(ctx);
    if (reduce == Reduce::SelfReducing) {
        int w, h;
        if (fit_into_box(pic->width, pic->height, params.box_width, params.box_height, &w, &h))
            image_resize(pic, nullptr, w, h, 0);
    } else if (reduce == Reduce::ResizeAfter) {
        image_resize_average(pic, nullptr, fit_w, fit_h, params.channel_order == 1 ? PIXEL_BGR : PIXEL_RGB);
    }
    return STATUS_OK;
}

void load_conversion_release(LoadContext* context)
{
    delete context->conversion;
    context->conversion = nullptr;
}
