// Putting display bitmaps on the screen: the cube palette, screen depth, tile-by-tile drawing and
// the screen bitmaps of whole pictures.
#pragma once

#include <windows.h>

#include "app/bitmap.h"

// Builds the dither tables (6 levels per channel) and the 216-colour cube palette. False when
// either could not be made.
bool display_tables_create();
void display_tables_destroy();
// The cube palette, or null before display_tables_create.
HPALETTE display_cube_palette();

// Bits per pixel of the screen `window` is on.
int display_screen_bits(HWND window);

// display_init for the screen of `window`.
Status display_init_window(HWND window, DisplayBitmap* display, int buffer_width, int buffer_height);
// display_prepare; with `rebuild_palette` the palette handle is made anew (the cube palette is
// shared, never deleted here).
Status display_prepare_window(DisplayBitmap* display, const Picture* picture, int width, int height,
                              bool rebuild_palette);
// Draws the part of the scaled picture inside `area`, the picture's top-left corner at (x, y).
void display_draw(HDC dc, DisplayBitmap* display, int x, int y, const RECT& area);
// Frees maps, buffer and the display's own palette.
void display_release(DisplayBitmap* display);

// A bitmap compatible with `window` holding the whole picture, centred on black in a bitmap of
// width x height; with a width or height below 1, a bitmap of the picture's own size. Null on
// failure. The caller deletes it.
HBITMAP display_screen_bitmap(HWND window, const Picture* picture, int width, int height);

// Answers WM_PAINT with a resource bitmap: `blit(dc, memory, client, bm)` copies from `memory`,
// which holds `bitmap`, onto the window's `dc`. Without a bitmap the window is only validated.
template <typename Blit>
void paint_with_bitmap(HWND window, HBITMAP bitmap, Blit blit)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    BITMAP bm{};
    if (bitmap && GetObjectW(bitmap, sizeof bm, &bm)) {
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, bitmap);
        blit(dc, memory, client, bm);
        SelectObject(memory, old);
        DeleteDC(memory);
    }
    EndPaint(window, &ps);
}
