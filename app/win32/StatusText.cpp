#include "app/win32/StatusText.h"

#include "app/StatusText.h"

struct StatusTextHandlers {
    static LRESULT create(StatusText&, HWND, UINT, WPARAM, LPARAM) { return 0; }

    static LRESULT paint(StatusText& s, HWND window, UINT, WPARAM, LPARAM)
    {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT client;
        GetClientRect(window, &client);
        const PanelRect area =
            status_text_area(PanelRect{client.left, client.top, client.right, client.bottom}, GetSystemMetrics(SM_CYSCREEN));
        RECT r{area.left, area.top, area.right, area.bottom};
        HBRUSH brush = CreateSolidBrush(s.colour_);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        if (!s.text_.empty()) {
            HGDIOBJ old = s.font_ ? SelectObject(dc, s.font_) : nullptr;
            SetBkMode(dc, TRANSPARENT);
            DrawTextW(dc, s.text_.c_str(), -1, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
            if (old) SelectObject(dc, old);
        }
        EndPaint(window, &ps);
        return 0;
    }

    static LRESULT set_font(StatusText& s, HWND window, UINT, WPARAM w, LPARAM l)
    {
        s.font_ = reinterpret_cast<HFONT>(w);
        if (LOWORD(l)) InvalidateRect(window, nullptr, TRUE);
        return 0;
    }

    static LRESULT nothing(StatusText&, HWND, UINT, WPARAM, LPARAM) { return 0; }

    static constexpr MessageMap<StatusText>::Pair pairs[] = {
        {WM_CREATE, create}, {WM_PAINT, paint}, {WM_SETFONT, set_font}, {WM_DESTROY, nothing}};
};
const MessageMap<StatusText> StatusText::message_map{StatusTextHandlers::pairs, DefaultProc::window};

bool StatusText::create(HWND parent, DWORD style, int x, int y, int width, int height)
{
    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpszClassName = L"StatusTextClass";
    if (!register_class(wc)) return false;
    return create_window(0, L"StatusTextClass", L"", style | WS_CHILD, x, y, width, height, parent, nullptr) !=
           nullptr;
}

void StatusText::set_colour(COLORREF colour)
{
    colour_ = colour;
    if (window()) InvalidateRect(window(), nullptr, TRUE);
}

void StatusText::set_text(const std::wstring& text)
{
    text_ = text;
    if (window()) InvalidateRect(window(), nullptr, TRUE);
}
