#include "app/win32/Window.h"

bool WindowBase::register_class(WNDCLASSW wc)
{
    if (!wc.hInstance) wc.hInstance = GetModuleHandleW(nullptr);
    WNDCLASSW existing{};
    if (GetClassInfoW(wc.hInstance, wc.lpszClassName, &existing)) return true;
    wc.lpfnWndProc = procedure;
    if (!RegisterClassW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        MessageBoxW(nullptr, L"RegisterClass() failed", L"Error", MB_OK);
        return false;
    }
    return true;
}

WindowBase* WindowBase::attached(HWND window)
{
    if (!window || !IsWindow(window)) return nullptr;
    // Only windows whose procedure is ours carry our objects in their user data.
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)) != procedure) return nullptr;
    auto* object = reinterpret_cast<WindowBase*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return object && object->tag_ == kTag ? object : nullptr;
}

WindowBase::~WindowBase()
{
    if (window_ && IsWindow(window_) &&
        reinterpret_cast<WindowBase*>(GetWindowLongPtrW(window_, GWLP_USERDATA)) == this)
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    window_ = nullptr;
    tag_ = 0;
}

HWND WindowBase::create_window(DWORD ex_style, const wchar_t* class_name, const wchar_t* title, DWORD style, int x,
                               int y, int width, int height, HWND parent, HMENU menu_or_id, bool* detached_during)
{
    bool gone = false;
    detached_flag_ = &gone;
    HWND window = CreateWindowExW(ex_style, class_name, title, style, x, y, width, height, parent, menu_or_id,
                                  GetModuleHandleW(nullptr), this);
    if (!gone) detached_flag_ = nullptr;
    if (detached_during) *detached_during = gone;
    return window;
}

LRESULT CALLBACK WindowBase::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_NCCREATE) {
        auto* object = static_cast<WindowBase*>(reinterpret_cast<const CREATESTRUCTW*>(lparam)->lpCreateParams);
        if (object && object->tag_ == kTag) {
            object->window_ = window;
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
        }
    }
    auto* object = reinterpret_cast<WindowBase*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    // Messages before WM_NCCREATE (WM_GETMINMAXINFO for top-level windows) and after the object
    // left have nobody to go to.
    if (!object) return DefWindowProcW(window, message, wparam, lparam);
    const LRESULT result = object->dispatch(window, message, wparam, lparam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        object->window_ = nullptr;
        if (object->detached_flag_) *object->detached_flag_ = true;
        object->detached_flag_ = nullptr;
        object->detached();
    }
    return result;
}
