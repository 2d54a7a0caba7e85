#include "app/win32/text_stamp.h"

#include <cstring>
#include <new>

#include "app/win32/CBmp.h"
#include "editing/text_stamp.h"

namespace {

struct BitmapInfo256 {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
};

}  // namespace

bool text_stamp(Picture* picture, HDC reference, int x, int y, const wchar_t* text, HFONT font, COLORREF colour)
{
    StampBitmapLayout layout;
    if (!picture || !text || !stamp_bitmap_layout(picture, &layout)) return false;

    auto* info = new (std::nothrow) BitmapInfo256{};
    if (!info) return false;
    info->header.biSize = sizeof(BITMAPINFOHEADER);
    info->header.biWidth = layout.width;
    info->header.biHeight = layout.height;  // positive: rows bottom-up
    info->header.biPlanes = 1;
    info->header.biBitCount = static_cast<WORD>(layout.bit_count);
    info->header.biCompression = BI_RGB;
    for (int i = 0; i < layout.colours; ++i) std::memcpy(&info->colours[i], &layout.table[i], 4);
    if (layout.colours) info->header.biClrUsed = static_cast<DWORD>(layout.colours);

    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(reference, reinterpret_cast<BITMAPINFO*>(info), DIB_RGB_COLORS, &bits,
                                       nullptr, 0);
    delete info;
    if (!section || !bits) {
        if (section) DeleteObject(section);
        return false;
    }
    HDC memory = CreateCompatibleDC(reference);
    if (!memory) {
        DeleteObject(section);
        return false;
    }
    stamp_picture_to_bitmap(picture, layout, static_cast<uint8_t*>(bits));
    HGDIOBJ old_bitmap = SelectObject(memory, section);
    SetTextColor(memory, colour);
    SetBkMode(memory, TRANSPARENT);
    HGDIOBJ old_font = font ? SelectObject(memory, font) : nullptr;
    // No clipping at the rectangle: only the bitmap's own edges cut the text. No prefix either,
    // so that the stamp shows an "&" as the placement outline did.
    RECT box{x, y, x + 1024, y + 1024};
    DrawTextW(memory, text, -1, &box, DT_NOCLIP | DT_NOPREFIX);
    if (old_font) SelectObject(memory, old_font);
    GdiFlush();
    stamp_bitmap_to_picture(static_cast<const uint8_t*>(bits), layout, picture);
    SelectObject(memory, old_bitmap);
    DeleteDC(memory);
    DeleteObject(section);
    return true;
}

void document_add_text(PhotoDocument* doc, HWND view, const wchar_t* text, const ViewFont& font, COLORREF colour)
{
    CBmp* v = CBmp::of(view);
    if (!v || !doc->current_picture) return;
    v->set_callback(document_text_placed, doc);
    v->start_text(text, font, colour);
}

int document_text_placed(const ViewEvent* e)
{
    if (e->code != VIEW_EVENT_TEXT_PLACED) return 1;
    auto* doc = static_cast<PhotoDocument*>(e->context);
    const HWND view = static_cast<HWND>(e->window);
    const Picture* current = doc ? doc->current_picture.get() : nullptr;
    if (current && e->text && e->text->text) {
        // The text goes into a copy, which becomes the current picture through the document's
        // undo hand-over: a failed copy leaves the photo as it was.
        PictureHandle stamped = PictureHandle::create();
        if (stamped && picture_clone(current, stamped.get()) == 0) {
            HDC dc = GetDC(view);
            text_stamp(stamped.get(), dc, e->text->x, e->text->y, e->text->text, static_cast<HFONT>(e->text->font),
                       e->text->colour);
            ReleaseDC(view, dc);
            document_replace(doc, std::move(stamped));
            InvalidateRect(view, nullptr, FALSE);
        }
    }
    if (HWND parent = GetParent(view)) SendMessageW(parent, WM_TEXT_PLACED, 0, 0);
    return 1;
}
