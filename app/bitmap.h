// Pictures prepared for the screen: the global ordered-dither tables and colour cube, and the
// display bitmap that turns picture lines into device-independent bitmap lines, tile by tile.
// Everything here is window-free; app/win32/bitmap.cpp puts the result on a device context.
#pragma once

#include <cstdint>

#include "core/picture.h"
#include "core/status.h"

// One entry of a channel table: the value's position between two cube levels.
struct DisplayChannelEntry {
    uint8_t fraction;  // 0..63, compared with the dither matrix
    uint8_t lo;        // lower level times the channel's multiplier
    uint8_t hi;        // upper level times the channel's multiplier
    uint8_t step;      // hi - lo, added when the threshold flag is set
};

constexpr int DISPLAY_CUBE_LEVELS = 6;
constexpr int DISPLAY_CUBE_COLOURS = 216;

struct DisplayTables {
    // threshold[r][c][k] is 0xFF when the dither matrix value at (r, c) is below k, else 0.
    uint8_t threshold[8][8][64];
    DisplayChannelEntry channel[3][256];
    int levels[3];
    int cube_colours;              // levels[0] * levels[1] * levels[2]
    uint8_t cube[256][3];          // red, green, blue of each cube index
};

// The 8 x 8 ordered-dither matrix (row = y mod 8, column = x mod 8).
extern const uint8_t DISPLAY_DITHER_MATRIX[8][8];

// Builds the global tables with the given number of levels per channel (the program uses 6, 6, 6).
// Each count must be at least 2 and their product at most 256.
Status display_tables_init(int levels_first, int levels_second, int levels_third);
void display_tables_free();
// The global tables, or null before display_tables_init.
const DisplayTables* display_tables();
// Cube index of one colour at a display position, through the global tables.
int display_dither_index(int c1, int c2, int c3, int x, int y);

// Laid out exactly as a BITMAPINFOHEADER followed by 256 RGBQUADs, so that the Win32 side hands
// it to GDI as a BITMAPINFO.
struct DisplayDibInfo {
    uint32_t size;
    int32_t width;
    int32_t height;
    uint16_t planes;
    uint16_t bit_count;
    uint32_t compression;
    uint32_t size_image;
    int32_t x_pels_per_meter;
    int32_t y_pels_per_meter;
    uint32_t colours_used;
    uint32_t colours_important;
    uint8_t colours[256][4];  // blue, green, red, 0
};

struct DisplayBitmap;
// Converts `count` display pixels of one display row, starting at display column `x0`, from the
// mapped source line into `out`. `y` is the display row (used by the ordered dither).
using DisplayLineConverter = void (*)(const DisplayBitmap* display, const uint8_t* source, uint8_t* out,
                                      int x0, int count, int y);

enum : uint8_t {
    DISPLAY_PALETTE_NONE = 0,
    DISPLAY_PALETTE_CUBE = 1,  // the global cube palette: never freed by its user
    DISPLAY_PALETTE_OWN = 2,   // made for this picture's colours
};

struct DisplayBitmap {
    uint32_t* columns;      // per display column: byte offset of the source pixel (bit index for bilevel)
    const uint8_t** rows;   // per display row: the source line
    int32_t display_width;
    int32_t display_height;
    int32_t picture_width;
    int32_t picture_height;
    int32_t dither;         // 1
    DisplayDibInfo dib;     // header and colour table; height is the buffer's
    uint8_t own_colours[256][3];  // the picture's colours (map or grey ramp), read by the dither
    uint8_t* buffer;        // DIB pixels, bottom-up
    int32_t buffer_width;
    int32_t buffer_height;
    int32_t buffer_bytes_per_line;  // of the current DIB format
    uint64_t buffer_bytes;          // allocated
    void* palette;          // screen palette handle (Win32 side)
    uint8_t palette_kind;
    int32_t screen_bits;    // screen depth the format is chosen for
    DisplayLineConverter converter;
    uint16_t transparent_index;
    // Byte positions, within a source pixel, of the red, green and blue components (for deep
    // pictures, of their high bytes); the grey or index byte for one-component pictures.
    uint8_t component[3];
    // Whether two display rows from one source line give the same output (not when dithering).
    uint8_t reuse_lines;
    const DisplayTables* tables;  // the global tables, for the dithering converters
};

// Clears the state and allocates a buffer of buffer_width x buffer_height pixels for a screen of
// `screen_bits` bits per pixel (8 bits with 216 colours at 8 or fewer, else 24 bits).
Status display_init(DisplayBitmap* display, int screen_bits, int buffer_width, int buffer_height);
// Computes the maps, the DIB format, the colour table (only with `rebuild_palette`) and the line
// converter for `picture` shown at display_width x display_height. The buffer is kept and grows
// only when it cannot hold the widest line of the new format. The palette handle is the Win32
// side's business: a caller that rebuilds it reads `palette_kind` afterwards.
Status display_prepare(DisplayBitmap* display, const Picture* picture, int display_width, int display_height,
                       bool rebuild_palette);
// Frees maps and buffer; the palette handle is left to the caller.
void display_free(DisplayBitmap* display);
bool display_ready(const DisplayBitmap* display);

// The part of the scaled picture inside the window area (ax, ay, aw, ah), the picture's top-left
// corner being at (x, y): the intersection, or false when it is empty.
struct DisplayRect {
    int32_t x;
    int32_t y;
    int32_t w;
    int32_t h;
};
bool display_visible_part(const DisplayBitmap* display, int x, int y, const DisplayRect& area, DisplayRect* part);

// Calls `tile` for each tile of at most buffer_width x buffer_height covering `part` (window
// coordinates), row of tiles by row of tiles, left to right, after converting it into the bottom
// of the buffer. (tx, ty) is the tile's origin in display-bitmap coordinates.
template <typename TileFn>
void display_walk_tiles(DisplayBitmap* display, int x, int y, const DisplayRect& part, TileFn&& tile);

// Converts the display-bitmap area (x0, y0, w, h) into the buffer (see display_buffer_line); w and
// h must not exceed the buffer's size.
void display_convert_tile(DisplayBitmap* display, int x0, int y0, int w, int h);

// Buffer line holding row `row` (0 = top) of the last converted tile. DIB lines run bottom-up and
// a tile fills the top of the buffer image (its last lines in memory), which is where GDI's
// source rectangle (0, buffer height - tile height) finds it.
inline uint8_t* display_buffer_line(const DisplayBitmap* display, int row)
{
    return display->buffer + static_cast<int64_t>(display->buffer_height - 1 - row) * display->buffer_bytes_per_line;
}

// Bytes per DIB line of `width` pixels at `bits` per pixel, padded to 4 bytes.
inline int64_t display_dib_stride(int64_t width, int bits) { return ((width * bits + 31) / 32) * 4; }

template <typename TileFn>
void display_walk_tiles(DisplayBitmap* display, int x, int y, const DisplayRect& part, TileFn&& tile)
{
    const int tw = display->buffer_width, th = display->buffer_height;
    if (tw <= 0 || th <= 0) return;
    for (int ty = part.y - y; ty < part.y - y + part.h; ty += th) {
        const int h = part.y - y + part.h - ty < th ? part.y - y + part.h - ty : th;
        for (int tx = part.x - x; tx < part.x - x + part.w; tx += tw) {
            const int w = part.x - x + part.w - tx < tw ? part.x - x + part.w - tx : tw;
            display_convert_tile(display, tx, ty, w, h);
            tile(tx, ty, w, h);
        }
    }
}
