#include "app/win32/BitmapView.h"

#include <string>

#include "app/BitmapView.h"
#include "app/win32/ThumbView.h"

namespace {

PanelRect panel_rect(const RECT& r) { return PanelRect{r.left, r.top, r.right, r.bottom}; }
RECT win_rect(const PanelRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

void outline(HDC dc, const PanelRect& r, COLORREF colour)
{
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ old = SelectObject(dc, pen);
    const POINT corners[5] = {{r.left, r.top}, {r.right - 1, r.top}, {r.right - 1, r.bottom - 1}, {r.left, r.bottom - 1},
                              {r.left, r.top}};
    Polyline(dc, corners, 5);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void draw_item(ThumbList& list, HDC dc, int index)
{
    HWND window = list.window();
    RECT icon{LVIR_ICON, 0, 0, 0};
    RECT label{LVIR_LABEL, 0, 0, 0};
    if (!SendMessageW(window, LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&icon)) ||
        !SendMessageW(window, LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&label)))
        return;
    // Some list controls give the icon rectangle the width of the image cell only; the item's
    // whole width (its icon spacing) is the rectangle the thumbnail is framed in.
    const int cell = LOWORD(SendMessageW(window, LVM_GETITEMSPACING, FALSE, 0));
    if (cell > icon.right - icon.left) {
        const int centre = (icon.left + icon.right) / 2;
        icon.left = centre - cell / 2;
        icon.right = icon.left + cell;
    }
    const UINT state = static_cast<UINT>(
        SendMessageW(window, LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_SELECTED | LVIS_DROPHILITED));
    const bool selected = (state & (LVIS_SELECTED | LVIS_DROPHILITED)) != 0;
    const ThumbItem* record = list.item(index);
    const bool published = record && record->published.load(std::memory_order_acquire);

    const ThumbItemLayout layout = thumb_item_layout(panel_rect(icon));
    if (selected) {
        const RECT filled = win_rect(layout.filled);
        FillRect(dc, &filled, GetSysColorBrush(COLOR_HIGHLIGHT));
    }
    outline(dc, layout.outline, selected ? THUMB_SELECTED_PEN : 0x000000);

    if (published && record->bitmap) {
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, static_cast<HBITMAP>(record->bitmap));
        int x, y;
        thumb_centre(layout.inner, record->bitmap_width, record->bitmap_height, &x, &y);
        BitBlt(dc, x, y, record->bitmap_width, record->bitmap_height, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
    } else if (published && record->icon_index >= 0 && list.system_icons()) {
        int w = 0, h = 0;
        ImageList_GetIconSize(list.system_icons(), &w, &h);
        int x, y;
        thumb_centre(layout.inner, w, h, &x, &y);
        ImageList_Draw(list.system_icons(), record->icon_index, dc, x, y, ILD_TRANSPARENT);
    }

    // The name, under the frame.
    RECT text_area = label;
    text_area.left += 4;
    text_area.right -= 4;
    const std::string name = record ? record->name : "";
    const std::string shown = thumb_shorten_name(name, text_area.right - text_area.left, [dc](const std::string& s) {
        SIZE size{};
        GetTextExtentPoint32A(dc, s.c_str(), static_cast<int>(s.size()), &size);
        return static_cast<int>(size.cx);
    });
    SIZE measured{};
    GetTextExtentPoint32A(dc, shown.c_str(), static_cast<int>(shown.size()), &measured);
    SetBkMode(dc, TRANSPARENT);
    if (selected) {
        RECT band{text_area.left, text_area.top, text_area.right, text_area.top + measured.cy};
        HBRUSH blue = CreateSolidBrush(THUMB_SELECTED_LABEL);
        FillRect(dc, &band, blue);
        DeleteObject(blue);
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    } else {
        SetTextColor(dc, 0x000000);
    }
    DrawTextA(dc, shown.c_str(), -1, &text_area, DT_CENTER | DT_NOPREFIX | DT_NOCLIP);
}

}  // namespace

LRESULT thumb_custom_draw(ThumbList& list, NMLVCUSTOMDRAW* draw)
{
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT: return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
        const int index = static_cast<int>(draw->nmcd.dwItemSpec);
        if (list.view_type() == THUMB_VIEW_REPORT) {
            if (index & 1) draw->clrTextBk = THUMB_REPORT_ODD_ROW;
            return CDRF_NEWFONT;
        }
        if (index < 0 || index >= list.count()) return CDRF_SKIPDEFAULT;
        RECT bounds{LVIR_BOUNDS, 0, 0, 0}, client, common;
        GetClientRect(list.window(), &client);
        if (SendMessageW(list.window(), LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&bounds)) &&
            IntersectRect(&common, &bounds, &client))
            draw_item(list, draw->nmcd.hdc, index);
        return CDRF_SKIPDEFAULT;
    }
    default: return CDRF_DODEFAULT;
    }
}
