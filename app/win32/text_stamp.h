// Stamping a text into a photo's pixels with GDI, and the photo document's add-text operation
// that hands the text to the view for placing and stamps it when the view reports the click.
#pragma once

#include <windows.h>

#include "app/CBmp.h"
#include "editing/document.h"

// Draws `text` (lines split at line breaks, left aligned) with `font` in `colour` into the
// picture, its top-left at (x, y) in picture pixels; whatever runs past the picture's edges is
// cut. `reference` is the device context the bitmap is made compatible with. False, with the
// picture unchanged, for pictures that cannot be stamped or when GDI refuses the bitmap.
bool text_stamp(Picture* picture, HDC reference, int x, int y, const wchar_t* text, HFONT font, COLORREF colour);

// Starts text placement on the document's view window; the click stamps the text through
// document_text_placed.
void document_add_text(PhotoDocument* doc, HWND view, const wchar_t* text, const ViewFont& font, COLORREF colour);

// The view's callback during text placement (context: the PhotoDocument). On code 5 it stamps
// the text when one came with the event, then sends WM_USER + 5 to the view's parent. Always 1.
int document_text_placed(const ViewEvent* event);

constexpr UINT WM_TEXT_PLACED = WM_USER + 5;
