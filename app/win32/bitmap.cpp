// GDI side of the screen display.
#include "app/win32/bitmap.h"

#include "app/win32/BitmapRegister.h"

#include <cstddef>
#include <vector>

static_assert(sizeof(DisplayDibInfo) == sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD),
              "DisplayDibInfo must be laid out as a BITMAPINFO with 256 colours");
static_assert(offsetof(DisplayDibInfo, colours) == sizeof(BITMAPINFOHEADER));

namespace {

HPALETTE g_cube_palette = nullptr;

const BITMAPINFO* as_bitmap_info(const DisplayBitmap* d) { return reinterpret_cast<const BITMAPINFO*>(&d->dib); }

// A logical palette of the display's colour table.
HPALETTE palette_of_table(const DisplayDibInfo& dib)
{
    const int n = static_cast<int>(dib.colours_used);
    if (n < 1 || n > 256) return nullptr;
    std::vector<uint8_t> block(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * static_cast<size_t>(n));
    auto* lp = reinterpret_cast<LOGPALETTE*>(block.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = static_cast<WORD>(n);
    for (int i = 0; i < n; ++i) {
        lp->palPalEntry[i].peRed = dib.colours[i][2];
        lp->palPalEntry[i].peGreen = dib.colours[i][1];
        lp->palPalEntry[i].peBlue = dib.colours[i][0];
        lp->palPalEntry[i].peFlags = 0;
    }
    return CreatePalette(lp);
}

void drop_own_palette(DisplayBitmap* d)
{
    if (d->palette && d->palette != g_cube_palette) DeleteObject(static_cast<HPALETTE>(d->palette));
    d->palette = nullptr;
}

}  // namespace

bool display_tables_create()
{
    if (display_tables_init(DISPLAY_CUBE_LEVELS, DISPLAY_CUBE_LEVELS, DISPLAY_CUBE_LEVELS) != STATUS_OK) return false;
    const DisplayTables* t = display_tables();
    std::vector<uint8_t> block(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * DISPLAY_CUBE_COLOURS);
    auto* lp = reinterpret_cast<LOGPALETTE*>(block.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = DISPLAY_CUBE_COLOURS;
    for (int i = 0; i < DISPLAY_CUBE_COLOURS; ++i) {
        lp->palPalEntry[i].peRed = t->cube[i][0];
        lp->palPalEntry[i].peGreen = t->cube[i][1];
        lp->palPalEntry[i].peBlue = t->cube[i][2];
        lp->palPalEntry[i].peFlags = 0;
    }
    if (g_cube_palette) DeleteObject(g_cube_palette);
    g_cube_palette = CreatePalette(lp);
    return g_cube_palette != nullptr;
}

void display_tables_destroy()
{
    if (g_cube_palette) DeleteObject(g_cube_palette);
    g_cube_palette = nullptr;
    display_tables_free();
}

HPALETTE display_cube_palette() { return g_cube_palette; }

int display_screen_bits(HWND window)
{
    HDC dc = GetDC(window);
    const int bits = dc ? GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES) : 24;
    if (dc) ReleaseDC(window, dc);
    return bits;
}

Status display_init_window(HWND window, DisplayBitmap* display, int buffer_width, int buffer_height)
{
    return display_init(display, display_screen_bits(window), buffer_width, buffer_height);
}

Status display_prepare_window(DisplayBitmap* display, const Picture* picture, int width, int height,
                              bool rebuild_palette)
{
    const Status status = display_prepare(display, picture, width, height, rebuild_palette);
    if (status != STATUS_OK) return status;
    if (rebuild_palette || !display->palette) {
        drop_own_palette(display);
        switch (display->palette_kind) {
        case DISPLAY_PALETTE_CUBE: display->palette = g_cube_palette; break;
        case DISPLAY_PALETTE_OWN: display->palette = palette_of_table(display->dib); break;
        default: break;
        }
    }
    return STATUS_OK;
}

void display_draw(HDC dc, DisplayBitmap* display, int x, int y, const RECT& area)
{
    DisplayRect part;
    const DisplayRect a{area.left, area.top, area.right - area.left, area.bottom - area.top};
    if (!display_visible_part(display, x, y, a, &part)) return;
    const int old_mode = SetStretchBltMode(dc, COLORONCOLOR);
    HPALETTE old_palette = nullptr;
    if (display->palette) {
        old_palette = SelectPalette(dc, static_cast<HPALETTE>(display->palette), FALSE);
        RealizePalette(dc);
    }
    const BITMAPINFO* info = as_bitmap_info(display);
    const int buffer_height = display->buffer_height;
    display_walk_tiles(display, x, y, part, [&](int tx, int ty, int w, int h) {
        StretchDIBits(dc, x + tx, y + ty, w, h, 0, buffer_height - h, w, h, display->buffer, info, DIB_RGB_COLORS,
                      SRCCOPY);
    });
    if (old_palette) SelectPalette(dc, old_palette, FALSE);
    SetStretchBltMode(dc, old_mode);
}

void display_release(DisplayBitmap* display)
{
    drop_own_palette(display);
    display_free(display);
}

HBITMAP display_screen_bitmap(HWND window, const Picture* picture, int width, int height)
{
    if (!picture || !picture->data || picture->width < 1 || picture->height < 1) return nullptr;
    DisplayBitmap d;
    if (display_init_window(window, &d, picture->width, picture->height) != STATUS_OK ||
        display_prepare_window(&d, picture, picture->width, picture->height, true) != STATUS_OK) {
        display_release(&d);
        return nullptr;
    }
    display_convert_tile(&d, 0, 0, picture->width, picture->height);

    HBITMAP result = nullptr;
    HDC window_dc = GetDC(window);
    if (width >= 1 && height >= 1) {
        result = CREATE_COMPATIBLE_BITMAP(window_dc, width, height);
        HDC memory = result ? CreateCompatibleDC(window_dc) : nullptr;
        if (memory) {
            HGDIOBJ old_bitmap = SelectObject(memory, result);
            HPALETTE old_palette = nullptr;
            if (g_cube_palette) {
                old_palette = SelectPalette(memory, g_cube_palette, FALSE);
                RealizePalette(memory);
            }
            RECT all{0, 0, width, height};
            FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
            const int x = (width - picture->width) / 2, y = (height - picture->height) / 2;
            SetStretchBltMode(memory, COLORONCOLOR);
            StretchDIBits(memory, x, y, picture->width, picture->height, 0, 0, picture->width, picture->height,
                          d.buffer, as_bitmap_info(&d), DIB_RGB_COLORS, SRCCOPY);
            if (old_palette) SelectPalette(memory, old_palette, FALSE);
            SelectObject(memory, old_bitmap);
            DeleteDC(memory);
        } else if (result) {
            register_delete_object(result);
            result = nullptr;
        }
    } else {
        result = CREATE_DIB_BITMAP(window_dc, reinterpret_cast<const BITMAPINFOHEADER*>(&d.dib), CBM_INIT, d.buffer,
                                as_bitmap_info(&d), DIB_RGB_COLORS);
    }
    ReleaseDC(window, window_dc);
    display_release(&d);
    return result;
}
