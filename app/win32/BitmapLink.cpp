#include "app/win32/BitmapLink.h"

#include <shellapi.h>

#include "app/BitmapLink.h"
#include "app/win32/ModalDialog.h"
#include "app/win32/bitmap.h"

struct LinkHandlers {
    static LRESULT create(BitmapLink&, HWND, UINT, WPARAM, LPARAM) { return 0; }

    static LRESULT paint(BitmapLink& link, HWND window, UINT, WPARAM, LPARAM)
    {
        paint_with_bitmap(window, link.bitmap_, [](HDC dc, HDC memory, const RECT& client, const BITMAP& bm) {
            for (int y : link_copy_rows(client.bottom, bm.bmHeight))
                BitBlt(dc, 0, y, bm.bmWidth, bm.bmHeight, memory, 0, 0, SRCCOPY);
        });
        return 0;
    }

    static LRESULT button_up(BitmapLink& link, HWND window, UINT, WPARAM, LPARAM)
    {
        HWND owner = GetParent(window);
        if (link.opener_) link.opener_(owner, link.address_);
        else ShellExecuteW(owner, L"open", link.address_.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return 0;
    }

    static LRESULT nothing(BitmapLink&, HWND, UINT, WPARAM, LPARAM) { return 0; }

    static constexpr MessageMap<BitmapLink>::Pair pairs[] = {
        {WM_CREATE, create}, {WM_PAINT, paint}, {WM_LBUTTONUP, button_up}, {WM_DESTROY, nothing}};
};
const MessageMap<BitmapLink> BitmapLink::message_map{LinkHandlers::pairs, DefaultProc::window};

bool BitmapLink::create(HWND parent, DWORD style, int id, int x, int y, int width, int height, int bitmap,
                        const wchar_t* address)
{
    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.hCursor = LoadCursorW(nullptr, IDC_HAND);
    wc.lpszClassName = L"WebBitmapClass";
    if (!register_class(wc)) return false;
    address_ = address ? address : L"";
    bitmap_ = LoadBitmapW(resource_module(), MAKEINTRESOURCEW(bitmap));
    return create_window(0, L"WebBitmapClass", L"", style | WS_CHILD, x, y, width, height, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id))) != nullptr;
}

void BitmapLink::destroy()
{
    if (bitmap_) DeleteObject(bitmap_);
    bitmap_ = nullptr;
    address_.clear();
    destroy_window();
}
