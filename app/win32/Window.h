// The frame every window class of the program stands on: the class is registered once, the
// window's object is attached at WM_NCCREATE and detached at WM_NCDESTROY, and every message in
// between goes through the class's MessageMap to that object.
#pragma once

#include <windows.h>

#include "app/win32/MessageMap.h"

class WindowBase {
public:
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;

    HWND window() const { return window_; }
    // Destroys the window, if any; the object is detached on the way.
    void destroy_window()
    {
        if (window_) DestroyWindow(window_);
    }

    // Registers a window class unless this module already has one of that name; the procedure
    // is the frame's own. Shows "RegisterClass() failed" (title "Error") and answers false when
    // registration fails.
    static bool register_class(WNDCLASSW wc);

    // The object attached to a window of the frame, or null (a window of another kind, one not
    // yet created or already past WM_NCDESTROY).
    static WindowBase* attached(HWND window);

protected:
    WindowBase() = default;
    // An object that goes before its window detaches itself: the window then falls back to the
    // default procedure and never reaches freed memory.
    virtual ~WindowBase();

    // Creates a window of a registered class with this object as its creation parameter. When
    // creation fails after the window had taken the object (a handler refused WM_CREATE), the
    // object has been detached already; `detached_during` (when given) tells the caller so, since
    // an object that deletes itself in detached() is gone by then.
    HWND create_window(DWORD ex_style, const wchar_t* class_name, const wchar_t* title, DWORD style, int x, int y,
                       int width, int height, HWND parent, HMENU menu_or_id, bool* detached_during = nullptr);

    virtual LRESULT dispatch(HWND window, UINT message, WPARAM wparam, LPARAM lparam) = 0;
    // After WM_NCDESTROY, once the window no longer points at the object. An object owned by its
    // window deletes itself here; nothing of it may be touched afterwards.
    virtual void detached() {}

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    HWND window_ = nullptr;
    bool* detached_flag_ = nullptr;
    // Marks a live frame object, so that user data set by someone else is never taken for one.
    static constexpr unsigned kTag = 0x4C4D5657;  // "LMVW"
    unsigned tag_ = kTag;
};

// Derived supplies `static const MessageMap<Derived> message_map;`.
template <class Derived>
class Window : public WindowBase {
public:
    // The Derived object of a window, or null when the window is not one of Derived's.
    static Derived* of(HWND window) { return dynamic_cast<Derived*>(attached(window)); }

protected:
    LRESULT dispatch(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override
    {
        return Derived::message_map.dispatch(static_cast<Derived&>(*this), window, message, wparam, lparam);
    }
};
