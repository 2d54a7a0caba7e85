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

inline Shot shoot(HWND window)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT rc;
    GetClientRect(window, &rc);
    Shot s;
    s.width = rc.right;
    s.height = rc.bottom;
    if (s.width < 1 || s.height < 1) return s;
    HDC dc = GetDC(window);
    HDC memory = CreateCompatibleDC(dc);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = s.width;
    bi.bmiHeader.biHeight = -s.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, section);
    BitBlt(memory, 0, 0, s.width, s.height, dc, 0, 0, SRCCOPY);
    GdiFlush();
    s.bits.assign(static_cast<uint8_t*>(bits), static_cast<uint8_t*>(bits) + static_cast<size_t>(s.width) * s.height * 4);
    SelectObject(memory, old);
    DeleteObject(section);
    DeleteDC(memory);
    ReleaseDC(window, dc);
    return s;
}

}  // namespace window_testing
