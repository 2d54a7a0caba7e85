#include "app/win32/CMenu.h"

#include "app/win32/LanguageTable.h"

namespace {

void fill(HDC dc, const RECT& r, COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

void frame(HDC dc, const RECT& r, COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    FrameRect(dc, &r, brush);
    DeleteObject(brush);
}

HFONT menu_font()
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return nullptr;
    return CreateFontIndirectW(&metrics.lfMenuFont);
}

// A tick of seven short vertical strokes, centred on (cx, cy).
void draw_tick(HDC dc, int cx, int cy, COLORREF colour)
{
    static const int offsets[7] = {0, 1, 2, 1, 0, -1, -2};
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ old = SelectObject(dc, pen);
    for (int i = 0; i < 7; ++i) {
        const int x = cx - 3 + i;
        const int y = cy + offsets[i];
        MoveToEx(dc, x, y - 1, nullptr);
        LineTo(dc, x, y + 2);
    }
    SelectObject(dc, old);
    DeleteObject(pen);
}

}  // namespace

bool OwnerMenu::load(HINSTANCE instance, int number)
{
    destroy();
    menu_ = LoadMenuW(instance, MAKEINTRESOURCEW(number));
    if (!menu_) return false;
    owns_menu_ = true;
    language().translate_menu(menu_);
    for (int i = 0;; ++i) {
        HMENU popup = GetSubMenu(menu_, i);
        if (!popup) break;
        make_owner_drawn(popup);
    }
    return true;
}

void OwnerMenu::make_owner_drawn(HMENU menu)
{
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        wchar_t text[256] = {};
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_DATA | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = 256;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &item)) continue;
        const bool popup = item.hSubMenu != nullptr;
        const bool owner_drawn = (item.fType & MFT_OWNERDRAW) != 0;
        if ((!owner_drawn || popup) && item.dwItemData == 0) {
            if (!(item.fType & MFT_SEPARATOR)) texts_[item.wID] = text;
            MENUITEMINFOW change{};
            change.cbSize = sizeof change;
            change.fMask = MIIM_FTYPE | MIIM_DATA;
            // Separators become owner-drawn items of command 0.
            change.fType = MFT_OWNERDRAW | (item.fType & MFT_RADIOCHECK);
            change.dwItemData = reinterpret_cast<ULONG_PTR>(this);
            SetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &change);
        }
        if (popup) make_owner_drawn(item.hSubMenu);
    }
}

bool OwnerMenu::set_icons(HINSTANCE instance, int bitmap, int count, int cell_width, int cell_height)
{
    HBITMAP strip = LoadBitmapW(instance, MAKEINTRESOURCEW(bitmap));
    if (!strip) return false;
    if (images_ && owns_images_) ImageList_Destroy(images_);
    images_ = ImageList_Create(cell_width, cell_height, ILC_COLOR24 | ILC_MASK, count, 1);
    owns_images_ = images_ != nullptr;
    if (images_) ImageList_AddMasked(images_, strip, 0xFF00FF);
    DeleteObject(strip);
    return images_ != nullptr;
}

void OwnerMenu::set_icon_table(const MenuIcon* pairs, int count)
{
    icons_.assign(pairs, pairs + (count > 0 ? count : 0));
}

void OwnerMenu::destroy()
{
    if (menu_ && owns_menu_) DestroyMenu(menu_);
    if (images_ && owns_images_) ImageList_Destroy(images_);
    menu_ = nullptr;
    images_ = nullptr;
    owns_menu_ = owns_images_ = false;
    icons_.clear();
    texts_.clear();
}

int OwnerMenu::icon_of(UINT command) const
{
    for (const MenuIcon& i : icons_)
        if (static_cast<UINT>(i.command) == command) return i.image;
    return -1;
}

std::wstring OwnerMenu::text_of(UINT command) const
{
    const auto found = texts_.find(command);
    std::wstring text = found != texts_.end() ? found->second : std::wstring();
    if (text.size() > 127) text.resize(127);
    return text;
}

void OwnerMenu::measure_item(MEASUREITEMSTRUCT* item) const
{
    int icon_w = 0, icon_h = 0;
    if (images_) ImageList_GetIconSize(images_, &icon_w, &icon_h);
    int text_width = 0;
    if (item->itemID != 0) {
        const std::wstring text = text_of(item->itemID);
        HDC dc = GetDC(nullptr);
        HFONT font = menu_font();
        HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
        SIZE extent{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        if (old) SelectObject(dc, old);
        if (font) DeleteObject(font);
        ReleaseDC(nullptr, dc);
        text_width = extent.cx;
    }
    const MenuItemSize size =
        menu_item_size(item->itemID == 0, text_width, GetSystemMetrics(SM_CYMENU), images_ != nullptr, icon_w, icon_h);
    item->itemWidth = static_cast<UINT>(size.width);
    item->itemHeight = static_cast<UINT>(size.height);
}

void OwnerMenu::draw_item(const DRAWITEMSTRUCT* item) const
{
    HDC dc = item->hDC;
    const RECT rc = item->rcItem;
    int icon_w = 0, icon_h = 0;
    if (images_) ImageList_GetIconSize(images_, &icon_w, &icon_h);
    const RECT column{rc.left, rc.top, rc.left + menu_icon_column(images_ != nullptr, icon_w), rc.bottom};

    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF light = colour_darken(GetSysColor(COLOR_WINDOW), 0.02);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    const COLORREF selection = colour_lighten(highlight, 0.85);
    const COLORREF text_colour = GetSysColor(COLOR_MENUTEXT);
    const bool grayed = (item->itemState & ODS_GRAYED) != 0;
    const bool selected = (item->itemState & ODS_SELECTED) != 0 && !grayed;

    if (item->itemID == 0) {
        fill(dc, rc, light);
        fill(dc, column, face);
        RECT line{column.right + 4, rc.top + (rc.bottom - rc.top) / 2, rc.right, rc.bottom};
        DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
        frame(dc, column, face);
        return;
    }

    if (selected) {
        fill(dc, rc, selection);
        frame(dc, rc, highlight);
    } else {
        fill(dc, rc, light);
        fill(dc, column, face);
        frame(dc, rc, light);
        frame(dc, column, face);
    }
    const int image = icon_of(item->itemID);
    if (images_ && image >= 0) ImageList_Draw(images_, image, dc, column.left + 2, rc.top + 2, ILD_TRANSPARENT);

    if (item->itemState & ODS_CHECKED) {
        RECT box{column.left + 2, rc.top + 2, column.right - 2, rc.bottom - 2};
        fill(dc, box, colour_lighten(highlight, selected ? 0.55 : 0.85));
        frame(dc, box, highlight);
        const int cx = (box.left + box.right) / 2;
        const int cy = (box.top + box.bottom) / 2;
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE;
        const bool radio = GetMenuItemInfoW(reinterpret_cast<HMENU>(item->hwndItem), item->itemID, FALSE, &info) &&
                           (info.fType & MFT_RADIOCHECK);
        if (radio) {
            HBRUSH brush = CreateSolidBrush(text_colour);
            HPEN pen = CreatePen(PS_SOLID, 1, text_colour);
            HGDIOBJ old_brush = SelectObject(dc, brush);
            HGDIOBJ old_pen = SelectObject(dc, pen);
            Ellipse(dc, cx - 3, cy - 3, cx + 3, cy + 3);
            SelectObject(dc, old_brush);
            SelectObject(dc, old_pen);
            DeleteObject(brush);
            DeleteObject(pen);
        } else {
            draw_tick(dc, cx, cy, text_colour);
        }
    }

    std::wstring text = text_of(item->itemID);
    std::wstring accelerator;
    if (const size_t tab = text.find(L'\t'); tab != std::wstring::npos) {
        accelerator = text.substr(tab + 1);
        text.resize(tab);
    }
    RECT area{column.right + 8, rc.top, rc.right, rc.bottom};
    if (!accelerator.empty()) area.right -= icon_w / 2;
    HFONT font = menu_font();
    HGDIOBJ old_font = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    const UINT format = DT_SINGLELINE | DT_VCENTER;
    if (grayed) {
        const COLORREF gray = GetSysColor(COLOR_GRAYTEXT);
        SetTextColor(dc, selected ? gray : colour_lighten(gray, 0.4));
        OffsetRect(&area, 1, 1);
    } else {
        SetTextColor(dc, text_colour);
    }
    DrawTextW(dc, text.c_str(), -1, &area, format | DT_LEFT);
    if (!accelerator.empty()) DrawTextW(dc, accelerator.c_str(), -1, &area, format | DT_RIGHT);
    if (old_font) SelectObject(dc, old_font);
    if (font) DeleteObject(font);
}

LRESULT owner_menu_message(UINT message, WPARAM wparam, LPARAM lparam)
{
    if (wparam != 0) return 0;
    if (message == WM_MEASUREITEM) {
        auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
        if (item->CtlType != ODT_MENU || !item->itemData) return 0;
        reinterpret_cast<const OwnerMenu*>(item->itemData)->measure_item(item);
        return 1;
    }
    if (message == WM_DRAWITEM) {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
        if (item->CtlType != ODT_MENU || !item->itemData) return 0;
        reinterpret_cast<const OwnerMenu*>(item->itemData)->draw_item(item);
        return 1;
    }
    return 0;
}
