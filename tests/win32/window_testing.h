// What the window tests share: a host window, message pumping until a condition holds, and the
// painted pixels of a window read back.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace window_testing {

// Dispatches this thread's messages until `condition` holds or `timeout_ms` passes.
template <typename Condition>
bool pump_until(Condition&& condition, DWORD timeout_ms = 10000)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (condition()) return true;
        if (GetTickCount() - start > timeout_ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

inline void pump_pending()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// A plain top-level window to put the windows under test in.
inline HWND make_host(int width, int height, const wchar_t* title = L"host")
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = L"LumevaTestHost";
        RegisterClassW(&wc);
        registered = true;
    }
    return CreateWindowExW(0, L"LumevaTestHost", title, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 10, 10, width, height,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

// The client area of a window as painted.
struct Shot {
    std::vector<uint8_t> bits;
    int width = 0, height = 0;
    COLORREF at(int x, int y) const
    {
        const uint8_t* p = &bits[(static_cast<size_t>(y) * width + x) * 4];
        return RGB(p[2], p[1], p[0]);
    }
};

// An area of a device context copied once: a GetPixel a pixel costs a round trip each.
inline Shot copy_area(HDC dc, int x, int y, int width, int height)
{
    Shot s;
    if (width < 1 || height < 1) return s;
    HDC memory = CreateCompatibleDC(dc);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section) {
        HGDIOBJ old = SelectObject(memory, section);
        BitBlt(memory, 0, 0, width, height, dc, x, y, SRCCOPY);
        GdiFlush();
        s.width = width;
        s.height = height;
        s.bits.assign(static_cast<uint8_t*>(bits), static_cast<uint8_t*>(bits) + static_cast<size_t>(width) * height * 4);
        SelectObject(memory, old);
        DeleteObject(section);
    }
    DeleteDC(memory);
    return s;
}

inline Shot shoot(HWND window)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT rc;
    GetClientRect(window, &rc);
    HDC dc = GetDC(window);
    Shot s = copy_area(dc, 0, 0, rc.right, rc.bottom);
    ReleaseDC(window, dc);
    return s;
}

// A rectangle of the screen as it shows, whatever window is there (another process's too).
inline Shot shoot_screen(const RECT& area)
{
    HDC screen = GetDC(nullptr);
    Shot s = copy_area(screen, area.left, area.top, area.right - area.left, area.bottom - area.top);
    ReleaseDC(nullptr, screen);
    return s;
}

}  // namespace window_testing
