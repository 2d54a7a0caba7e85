#include "app/win32/splash.h"

#include <ctime>

#include "app/splash.h"
#include "app/win32/ModalDialog.h"
#include "app/win32/bitmap.h"

namespace {

int64_t system_seconds() { return static_cast<int64_t>(std::time(nullptr)); }

Splash::Clock g_clock = system_seconds;

}  // namespace

struct SplashHandlers {
    static LRESULT create(Splash&, HWND, UINT, WPARAM, LPARAM) { return 0; }

    static LRESULT paint(Splash& s, HWND window, UINT, WPARAM, LPARAM)
    {
        paint_with_bitmap(window, s.bitmap_, [](HDC dc, HDC memory, const RECT& client, const BITMAP& bm) {
            StretchBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
        });
        return 0;
    }

    static LRESULT nothing(Splash&, HWND, UINT, WPARAM, LPARAM) { return 0; }

    static constexpr MessageMap<Splash>::Pair pairs[] = {{WM_CREATE, create}, {WM_PAINT, paint}, {WM_DESTROY, nothing}};
};
const MessageMap<Splash> Splash::message_map{SplashHandlers::pairs, DefaultProc::window};

void Splash::set_clock(Clock clock) { g_clock = clock ? clock : system_seconds; }

void Splash::start(int bitmap)
{
    if (window()) return;
    bitmap_ = LoadBitmapW(resource_module(), MAKEINTRESOURCEW(bitmap));
    if (!bitmap_) return;
    WNDCLASSW wc{};
    wc.lpszClassName = L"SplashClass";
    BITMAP bm{};
    if (!register_class(wc) || !GetObjectW(bitmap_, sizeof bm, &bm) ||
        !create_window(0, L"SplashClass", L"", WS_POPUP | WS_VISIBLE, (GetSystemMetrics(SM_CXSCREEN) - bm.bmWidth) / 2,
                       (GetSystemMetrics(SM_CYSCREEN) - bm.bmHeight) / 2, bm.bmWidth, bm.bmHeight, nullptr,
                       nullptr)) {
        DeleteObject(bitmap_);
        bitmap_ = nullptr;
        return;
    }
    start_ = g_clock();
    UpdateWindow(window());
}

void Splash::close()
{
    if (!window()) return;
    const int wait = splash_remaining_ms(start_, g_clock());
    if (wait > 0) Sleep(static_cast<DWORD>(wait));
    destroy_window();
    if (bitmap_) DeleteObject(bitmap_);
    bitmap_ = nullptr;
}
