// Display tables, maps and line converters of the screen display.
#include "app/bitmap.h"

#include <cstring>
#include <new>

const uint8_t DISPLAY_DITHER_MATRIX[8][8] = {
    {0, 38, 9, 47, 2, 40, 11, 50},  {25, 12, 35, 22, 27, 15, 37, 24}, {6, 44, 3, 41, 8, 47, 5, 43},
    {31, 19, 28, 15, 34, 21, 31, 18}, {1, 39, 11, 49, 0, 39, 10, 48},  {27, 14, 36, 23, 26, 13, 35, 23},
    {7, 46, 4, 43, 7, 45, 3, 42},   {33, 20, 30, 17, 32, 19, 29, 16},
};

namespace {

DisplayTables* g_tables = nullptr;

// ---- line converters -------------------------------------------------------------------------
// Each is chosen once per prepare; none branches on the pixel type inside its loop.

void convert_bits(const DisplayBitmap* d, const uint8_t* src, uint8_t* out, int x0, int count, int)
{
    const uint32_t* col = d->columns + x0;
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        unsigned byte = 0;
        for (int b = 0; b < 8; ++b) byte = (byte << 1) | static_cast<unsigned>(bit_get(src, static_cast<int>(col[i + b])));
        *out++ = static_cast<uint8_t>(byte);
    }
    if (i < count) {
        unsigned byte = 0;
        int b = 0;
        for (; i < count; ++i, ++b) byte = (byte << 1) | static_cast<unsigned>(bit_get(src, static_cast<int>(col[i])));
        *out = static_cast<uint8_t>(byte << (8 - b));
    }
}

void convert_byte(const DisplayBitmap* d, const uint8_t* src, uint8_t* out, int x0, int count, int)
{
    const uint32_t* col = d->columns + x0;
    src += d->component[0];
    for (int i = 0; i < count; ++i) out[i] = src[col[i]];
}

// Three components to blue, green, red. The column map already holds the pixel's byte offset.
void convert_colour24(const DisplayBitmap* d, const uint8_t* src, uint8_t* out, int x0, int count, int)
{
    const uint32_t* col = d->columns + x0;
    const uint8_t* r = src + d->component[0];
    const uint8_t* g = src + d->component[1];
    const uint8_t* b = src + d->component[2];
    for (int i = 0; i < count; ++i, out += 3) {
        const uint32_t o = col[i];
        out[0] = b[o];
        out[1] = g[o];
        out[2] = r[o];
    }
}

// The common case of loaded photos, red, green, blue in three bytes.
void convert_rgb24(const DisplayBitmap* d, const uint8_t* src, uint8_t* out, int x0, int count, int)
{
    const uint32_t* col = d->columns + x0;
    for (int i = 0; i < count; ++i, out += 3) {
        const uint8_t* p = src + col[i];
        out[0] = p[2];
        out[1] = p[1];
        out[2] = p[0];
    }
}

inline uint8_t cmyk_channel(unsigned c, unsigned k) { return static_cast<uint8_t>(((255 - c) * (255 - k) + 127) / 255); }

void convert_cmyk24(const DisplayBitmap* d, const uint8_t* src, uint8_t* out, int x0, int count, int)
{
    const uint32_t* col = d->columns + x0;
    for (int i = 0; i < count; ++i, out += 3) {
        const uint8_t* p = src + col[i];
        out[0] = cmyk_channel(p[2], p[3]);
        out[1] = cmyk_channel(p[1], p[3]);
        out[2] = cmyk_channel(p[0], p[3]);
    }
}

inline uint8_t dither(const DisplayTables& t, const uint8_t* thr, unsigned c1, unsigned c2, unsigned c3)
{
    const DisplayChannelEntry& e1 = t.channel[0][c1];
    const DisplayChannelEntry& e2 = t.channel[1][c2];
    const DisplayChannelEntry& e3 = t.channel[2][c3];
    return static_cast<uint8_t>(e1.lo + (thr[e1.fraction] & e1.step) + e2.lo + (thr[e2.fraction] & e2.step) + e3.lo +
                                (thr[e3.fraction] & e3.step));
}

void dither_indexed(const DisplayBitmap* d, const uint8_t* src, uint8_t* out, int x0, int count, int y)
{
    const uint32_t* col = d->columns + x0;
    const DisplayTables& t = *d->tables;
    const uint8_t(*row)[64] = t.threshold[y & 7];
    src += d->component[0];
    for (int i = 0; i < count; ++i) {
        const uint8_t* c = d->own_colours[src[col[i]]];
        out[i] = dither(t, row[(x0 + i) & 7], c[0], c[1], c[2]);
    }
}

void dither_colour(const DisplayBitmap* d, const uint8_t* src, uint8_t* out, int x0, int count, int y)
{
    const uint32_t* col = d->columns + x0;
    const DisplayTables& t = *d->tables;
    const uint8_t(*row)[64] = t.threshold[y & 7];
    const uint8_t* r = src + d->component[0];
    const uint8_t* g = src + d->component[1];
    const uint8_t* b = src + d->component[2];
    for (int i = 0; i < count; ++i) {
        const uint32_t o = col[i];
        out[i] = dither(t, row[(x0 + i) & 7], r[o], g[o], b[o]);
    }
}

void dither_cmyk(const DisplayBitmap* d, const uint8_t* src, uint8_t* out, int x0, int count, int y)
{
    const uint32_t* col = d->columns + x0;
    const DisplayTables& t = *d->tables;
    const uint8_t(*row)[64] = t.threshold[y & 7];
    for (int i = 0; i < count; ++i) {
        const uint8_t* p = src + col[i];
        out[i] = dither(t, row[(x0 + i) & 7], cmyk_channel(p[0], p[3]), cmyk_channel(p[1], p[3]),
                        cmyk_channel(p[2], p[3]));
    }
}

// Byte positions of red, green and blue within one pixel of an 8-bit-per-component picture.
void component_positions(uint32_t type, uint8_t out[3])
{
    switch (type) {
    case PIXEL_BGR:
    case PIXEL_BGRA: out[0] = 2, out[1] = 1, out[2] = 0; break;
    case PIXEL_ABGR: out[0] = 3, out[1] = 2, out[2] = 1; break;
    case PIXEL_ARGB: out[0] = 1, out[1] = 2, out[2] = 3; break;
    default: out[0] = 0, out[1] = 1, out[2] = 2; break;
    }
}

void set_colour(DisplayDibInfo& dib, int i, uint8_t r, uint8_t g, uint8_t b)
{
    dib.colours[i][0] = b;
    dib.colours[i][1] = g;
    dib.colours[i][2] = r;
    dib.colours[i][3] = 0;
}

}  // namespace

// ---- global tables ---------------------------------------------------------------------------

Status display_tables_init(int a, int b, int c)
{
    const int levels[3] = {a, b, c};
    for (int l : levels)
        if (l < 2 || l > 256) return STATUS_BAD_PARAMETER;
    if (static_cast<int64_t>(a) * b * c > 256) return STATUS_BAD_PARAMETER;
    auto* t = new (std::nothrow) DisplayTables{};
    if (!t) return STATUS_NO_MEMORY;

    for (int r = 0; r < 8; ++r)
        for (int col = 0; col < 8; ++col)
            for (int k = 0; k < 64; ++k) t->threshold[r][col][k] = DISPLAY_DITHER_MATRIX[r][col] < k ? 0xFF : 0;

    const int multiplier[3] = {b * c, c, 1};
    for (int ch = 0; ch < 3; ++ch) {
        t->levels[ch] = levels[ch];
        const int top = levels[ch] - 1;
        const double s = 255.0 / top;
        for (int v = 0; v < 256; ++v) {
            int q = static_cast<int>(v / s);
            if (q >= top) q = top - 1;
            int f = static_cast<int>((v - q * s) * 63 / s);
            if (f > 63) f = 63;
            DisplayChannelEntry& e = t->channel[ch][v];
            e.fraction = static_cast<uint8_t>(f);
            e.lo = static_cast<uint8_t>(q * multiplier[ch]);
            e.hi = static_cast<uint8_t>((q + 1) * multiplier[ch]);
            e.step = static_cast<uint8_t>(multiplier[ch]);
        }
    }
    t->cube_colours = a * b * c;
    for (int i = 0; i < t->cube_colours; ++i) {
        const int r = i / (b * c), g = (i / c) % b, bl = i % c;
        t->cube[i][0] = static_cast<uint8_t>(r * 255 / (a - 1));
        t->cube[i][1] = static_cast<uint8_t>(g * 255 / (b - 1));
        t->cube[i][2] = static_cast<uint8_t>(bl * 255 / (c - 1));
    }
    delete g_tables;
    g_tables = t;
    return STATUS_OK;
}

void display_tables_free()
{
    delete g_tables;
    g_tables = nullptr;
}

const DisplayTables* display_tables() { return g_tables; }

int display_dither_index(int c1, int c2, int c3, int x, int y)
{
    if (!g_tables) return 0;
    return dither(*g_tables, g_tables->threshold[y & 7][x & 7], static_cast<unsigned>(c1) & 255,
                  static_cast<unsigned>(c2) & 255, static_cast<unsigned>(c3) & 255);
}

// ---- display bitmap --------------------------------------------------------------------------

Status display_init(DisplayBitmap* display, int screen_bits, int buffer_width, int buffer_height)
{
    *display = DisplayBitmap{};
    display->dither = 1;
    display->transparent_index = NO_TRANSPARENT_INDEX;
    display->screen_bits = screen_bits;
    display->dib.size = 40;
    display->dib.planes = 1;
    display->dib.bit_count = screen_bits <= 8 ? 8 : 24;
    if (buffer_width < 1 || buffer_height < 1) return STATUS_BAD_PARAMETER;
    const int64_t stride = display_dib_stride(buffer_width, display->dib.bit_count);
    const uint64_t bytes = static_cast<uint64_t>(stride) * static_cast<uint64_t>(buffer_height);
    if (bytes > SIZE_MAX / 2) return STATUS_NO_MEMORY;
    display->buffer = new (std::nothrow) uint8_t[bytes]();
    if (!display->buffer) return STATUS_NO_MEMORY;
    display->buffer_width = buffer_width;
    display->buffer_height = buffer_height;
    display->buffer_bytes_per_line = static_cast<int32_t>(stride);
    display->buffer_bytes = bytes;
    display->dib.width = buffer_width;
    display->dib.height = buffer_height;
    return STATUS_OK;
}

bool display_ready(const DisplayBitmap* display)
{
    return display->columns && display->rows && display->buffer && display->converter;
}

void display_free(DisplayBitmap* display)
{
    delete[] display->columns;
    delete[] display->rows;
    delete[] display->buffer;
    display->columns = nullptr;
    display->rows = nullptr;
    display->buffer = nullptr;
    display->converter = nullptr;
    display->buffer_width = display->buffer_height = display->buffer_bytes_per_line = 0;
    display->buffer_bytes = 0;
}

Status display_prepare(DisplayBitmap* display, const Picture* picture, int w, int h, bool)
{
    DisplayBitmap& d = *display;
    delete[] d.columns;
    delete[] d.rows;
    d.columns = nullptr;
    d.rows = nullptr;
    d.converter = nullptr;
    d.display_width = d.display_height = 0;
    if (!picture || !picture->data || picture->width < 1 || picture->height < 1 || w < 1 || h < 1)
        return STATUS_BAD_PARAMETER;

    const uint32_t type = picture->type;
    const bool bilevel = type == PIXEL_BINARY;
    const bool indexed = type == PIXEL_GREY || type == PIXEL_COLORS;
    const bool colour = pixel_is_three_component(type) || pixel_is_four_component(type);
    if (!bilevel && !indexed && !colour) return STATUS_TYPE_UNSUPPORTED;
    const bool deep = !bilevel && picture->bits_per_component > 8;
    const int step = deep ? 2 : 1;  // bytes per component
    const int min_bpp = bilevel ? 1 : (indexed ? 1 : (pixel_is_three_component(type) ? 3 : 4)) * step;
    if (!bilevel && picture->bytes_per_pixel < min_bpp) return STATUS_BAD_PARAMETER;
    const int64_t line_bytes = bilevel ? (static_cast<int64_t>(picture->width) + 7) / 8
                                       : static_cast<int64_t>(picture->width) * picture->bytes_per_pixel;
    if (picture->bytes_per_line < line_bytes) return STATUS_BAD_PARAMETER;
    if (line_bytes > UINT32_MAX) return STATUS_BAD_PARAMETER;

    const bool small_screen = d.screen_bits <= 8;
    const bool dithering = small_screen && !bilevel;
    if (dithering && !g_tables) return STATUS_BAD_PARAMETER;

    // DIB format.
    const int bits = bilevel ? 1 : (dithering || indexed ? 8 : 24);
    const int64_t stride = display_dib_stride(d.buffer_width, bits);
    if (!d.buffer || static_cast<uint64_t>(stride) * static_cast<uint64_t>(d.buffer_height) > d.buffer_bytes)
        return STATUS_NO_MEMORY;

    d.columns = new (std::nothrow) uint32_t[static_cast<size_t>(w)];
    d.rows = new (std::nothrow) const uint8_t*[static_cast<size_t>(h)];
    if (!d.columns || !d.rows) {
        delete[] d.columns;
        delete[] d.rows;
        d.columns = nullptr;
        d.rows = nullptr;
        return STATUS_NO_MEMORY;
    }

    // Nearest-neighbour maps; the stored orientation is undone here once rather than per pixel.
    const int64_t W = picture->width, H = picture->height;
    const bool right_to_left = (picture->origin & PICTURE_ORIGIN_RIGHT_TO_LEFT) != 0;
    const bool bottom_up = (picture->origin & PICTURE_ORIGIN_BOTTOM) != 0;
    const uint32_t unit = bilevel ? 1 : picture->bytes_per_pixel;
    for (int x = 0; x < w; ++x) {
        int64_t sx = static_cast<int64_t>(x) * W / w;
        if (right_to_left) sx = W - 1 - sx;
        d.columns[x] = static_cast<uint32_t>(sx * unit);
    }
    for (int y = 0; y < h; ++y) {
        int64_t sy = static_cast<int64_t>(y) * H / h;
        if (bottom_up) sy = H - 1 - sy;
        d.rows[y] = picture_line(picture, static_cast<int>(sy));
    }
    d.display_width = w;
    d.display_height = h;
    // GDI reads the buffer with the stride of the chosen format.
    d.buffer_bytes_per_line = static_cast<int32_t>(stride);
    d.picture_width = picture->width;
    d.picture_height = picture->height;
    d.transparent_index = picture->transparent_index;
    d.tables = g_tables;

    // Component positions; for deep pictures the high byte of each little-endian sample.
    if (indexed) {
        d.component[0] = d.component[1] = d.component[2] = deep ? 1 : 0;
    } else if (colour) {
        component_positions(type, d.component);
        for (uint8_t& c : d.component) c = static_cast<uint8_t>(c * step + (deep ? 1 : 0));
    }

    // The picture's own colours: its map, or a grey ramp over its colour count.
    int n = bilevel ? 2 : picture->colour_used;
    if (n < 2 || n > 256) n = bilevel ? 2 : 256;
    if (type == PIXEL_COLORS && picture->colour_map) {
        n = 256;  // an index past colour_used still finds an entry
        for (int i = 0; i < 256; ++i) {
            d.own_colours[i][0] = picture->colour_map[i];
            d.own_colours[i][1] = picture->colour_map[256 + i];
            d.own_colours[i][2] = picture->colour_map[512 + i];
        }
    } else if (bilevel && picture->colour_map) {
        for (int i = 0; i < 256; ++i) {
            d.own_colours[i][0] = picture->colour_map[i];
            d.own_colours[i][1] = picture->colour_map[256 + i];
            d.own_colours[i][2] = picture->colour_map[512 + i];
        }
    } else {
        for (int i = 0; i < 256; ++i) {
            const uint8_t v = static_cast<uint8_t>(i < n ? i * 255 / (n - 1) : 255);
            d.own_colours[i][0] = d.own_colours[i][1] = d.own_colours[i][2] = v;
        }
    }

    // Header, colour table and the palette the Win32 side is to select.
    d.dib.size = 40;
    d.dib.planes = 1;
    d.dib.width = d.buffer_width;
    d.dib.height = d.buffer_height;
    d.dib.bit_count = static_cast<uint16_t>(bits);
    d.dib.compression = 0;
    d.dib.size_image = 0;
    std::memset(d.dib.colours, 0, sizeof d.dib.colours);
    if (dithering) {
        d.dib.colours_used = static_cast<uint32_t>(g_tables->cube_colours);
        for (int i = 0; i < g_tables->cube_colours; ++i)
            set_colour(d.dib, i, g_tables->cube[i][0], g_tables->cube[i][1], g_tables->cube[i][2]);
        d.palette_kind = DISPLAY_PALETTE_CUBE;
    } else if (bits <= 8) {
        d.dib.colours_used = static_cast<uint32_t>(n);
        for (int i = 0; i < n; ++i) set_colour(d.dib, i, d.own_colours[i][0], d.own_colours[i][1], d.own_colours[i][2]);
        d.palette_kind = small_screen ? DISPLAY_PALETTE_CUBE : DISPLAY_PALETTE_OWN;
    } else {
        d.dib.colours_used = 0;
        d.palette_kind = DISPLAY_PALETTE_NONE;
    }
    d.dib.colours_important = 0;

    // Line converter, chosen once.
    const bool cmyk = type == PIXEL_CMYK;
    if (bilevel)
        d.converter = convert_bits;
    else if (dithering)
        d.converter = indexed ? dither_indexed : (cmyk && !deep ? dither_cmyk : dither_colour);
    else if (indexed)
        d.converter = convert_byte;
    else if (cmyk && !deep)
        d.converter = convert_cmyk24;
    else if (!deep && d.component[0] == 0 && d.component[1] == 1 && d.component[2] == 2)
        d.converter = convert_rgb24;
    else
        d.converter = convert_colour24;
    d.reuse_lines = dithering ? 0 : 1;
    return STATUS_OK;
}

bool display_visible_part(const DisplayBitmap* display, int x, int y, const DisplayRect& area, DisplayRect* part)
{
    const int64_t x0 = area.x > x ? area.x : x;
    const int64_t y0 = area.y > y ? area.y : y;
    const int64_t ax1 = static_cast<int64_t>(area.x) + area.w, ay1 = static_cast<int64_t>(area.y) + area.h;
    const int64_t dx1 = static_cast<int64_t>(x) + display->display_width;
    const int64_t dy1 = static_cast<int64_t>(y) + display->display_height;
    const int64_t x1 = ax1 < dx1 ? ax1 : dx1, y1 = ay1 < dy1 ? ay1 : dy1;
    if (x1 <= x0 || y1 <= y0 || !display_ready(display)) return false;
    *part = DisplayRect{static_cast<int32_t>(x0), static_cast<int32_t>(y0), static_cast<int32_t>(x1 - x0),
                        static_cast<int32_t>(y1 - y0)};
    return true;
}

// How many lines ahead of the conversion the source is fetched.
constexpr int kPrefetchAhead = 2;

void display_convert_tile(DisplayBitmap* display, int x0, int y0, int w, int h)
{
    const DisplayBitmap& d = *display;
    if (!display_ready(display) || w < 1 || h < 1 || w > d.buffer_width || h > d.buffer_height) return;
    if (x0 < 0 || y0 < 0 || x0 + w > d.display_width || y0 + h > d.display_height) return;
    const size_t line_bytes = static_cast<size_t>((static_cast<int64_t>(w) * d.dib.bit_count + 7) / 8);
    // Source span of one tile line, in bytes. A reduced large photo spreads the tile's pixels
    // over far-apart lines that are not in the cache: the next line is fetched while this one is
    // converted, so that the cost stays with the display size rather than the photo's.
    const uint32_t span_start = d.dib.bit_count == 1 ? d.columns[x0] / 8 : d.columns[x0];
    const uint32_t span_end = d.dib.bit_count == 1 ? d.columns[x0 + w - 1] / 8 : d.columns[x0 + w - 1];
    const uint32_t span_low = span_start < span_end ? span_start : span_end;
    const uint32_t span_high = span_start < span_end ? span_end : span_start;
    for (int j = 0; j < kPrefetchAhead && j < h; ++j)
        for (uint32_t o = span_low; o <= span_high; o += 64) __builtin_prefetch(d.rows[y0 + j] + o);
    for (int j = 0; j < h; ++j) {
        uint8_t* out = display_buffer_line(display, j);
        const int y = y0 + j;
        if (j + kPrefetchAhead < h && d.rows[y + kPrefetchAhead] != d.rows[y + kPrefetchAhead - 1])
            for (uint32_t o = span_low; o <= span_high; o += 64) __builtin_prefetch(d.rows[y + kPrefetchAhead] + o);
        if (j > 0 && d.reuse_lines && d.rows[y] == d.rows[y - 1])
            std::memcpy(out, out + d.buffer_bytes_per_line, line_bytes);
        else
            d.converter(display, d.rows[y], out, x0, w, y);
    }
}
