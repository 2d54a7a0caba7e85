// The application object and the main window.
#include <windows.h>

#include <string>

#include "app/win32/MessageMap.h"
#include "app/product.h"
#include "core/format.h"
#include "resources/resource.h"

namespace {

struct Application {
    HWND main_window = nullptr;
    HINSTANCE instance = nullptr;
};

std::wstring load_string(HINSTANCE instance, UINT id)
{
    const wchar_t* text = nullptr;
    // With a zero size LoadStringW hands back a pointer into the resource itself.
    const int n = LoadStringW(instance, id, reinterpret_cast<LPWSTR>(&text), 0);
    return n > 0 ? std::wstring(text, static_cast<size_t>(n)) : std::wstring();
}

Application* application_of(HWND window)
{
    return reinterpret_cast<Application*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT on_create(HWND window, UINT, WPARAM, LPARAM lparam)
{
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    return 0;
}

LRESULT on_close(HWND window, UINT, WPARAM, LPARAM)
{
    Application* app = application_of(window);
    const std::wstring question = load_string(app ? app->instance : nullptr, IDS_CLOSE_WARNING);
    if (MessageBoxW(window, question.c_str(), L"", MB_OKCANCEL) != IDOK) return 0;
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    DestroyWindow(window);
    return 0;
}

LRESULT on_destroy(HWND, UINT, WPARAM, LPARAM)
{
    PostQuitMessage(1);
    return 0;
}

const MessagePair main_pairs[] = {
    {WM_CREATE, on_create},
    {WM_CLOSE, on_close},
    {WM_DESTROY, on_destroy},
};
const MessageMap main_map = make_message_map(main_pairs, DEFAULT_WINDOW);

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    return message_map_dispatch(main_map, window, message, wparam, lparam);
}

HWND window_main_create(Application* app)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = main_window_proc;
    wc.hInstance = app->instance;
    wc.hIcon = LoadIconW(app->instance, MAKEINTRESOURCEW(IDI_LUMEVA));
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = CreateSolidBrush(0x00FDF2E8);
    wc.lpszMenuName = MAKEINTRESOURCEW(102);
    wc.lpszClassName = LUMEVA_MAIN_CLASS;
    if (!RegisterClassW(&wc)) {
        MessageBoxW(nullptr, L"RegisterClass() failed", L"Error", MB_OK);
        return nullptr;
    }
    const int width = GetSystemMetrics(SM_CXSCREEN) / 2;
    const int height = GetSystemMetrics(SM_CYSCREEN) / 2;
    HWND window = CreateWindowExW(WS_EX_TOPMOST, LUMEVA_MAIN_CLASS, LUMEVA_MAIN_TITLE,
                                  WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, width, height, nullptr, nullptr, app->instance,
                                  app);
    if (!window) {
        wchar_t text[64];
        wsprintfW(text, L"WindowMainCreate() failed: %d", static_cast<int>(GetLastError()));
        MessageBoxW(nullptr, text, L"Error", MB_OK);
    }
    return window;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    Application app;
    app.instance = instance;
    library_init();
    app.main_window = window_main_create(&app);
    if (!app.main_window) {
        library_exit();
        return 0;
    }
    ShowWindow(app.main_window, SW_SHOWMAXIMIZED);
    BringWindowToTop(app.main_window);

    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    library_exit();
    return static_cast<int>(msg.wParam);
}
