// Table-driven window and dialog procedures: a window's messages, or its WM_COMMAND identifiers,
// are a list of (number, handler) pairs searched in order; the first match is called with the
// object the window belongs to. Handlers are plain functions (captureless lambdas work), so a
// table may be filled in a file of its own.
#pragma once

#include <windows.h>

#include <cstddef>

// What answers the messages a table does not hold.
enum class DefaultProc { none = 0, window = 1, dialog = 2, mdi_child = 3 };

inline LRESULT default_proc(DefaultProc kind, HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (kind) {
    case DefaultProc::window: return DefWindowProcW(window, message, wparam, lparam);
    case DefaultProc::dialog: return DefDlgProcW(window, message, wparam, lparam);
    case DefaultProc::mdi_child: return DefMDIChildProcW(window, message, wparam, lparam);
    case DefaultProc::none: break;
    }
    return 0;
}

template <class Owner>
struct MessageMap {
    using Handler = LRESULT (*)(Owner& self, HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    struct Pair {
        UINT message;
        Handler handler;
    };

    int count;
    const Pair* pairs;
    DefaultProc default_kind;

    template <size_t N>
    constexpr MessageMap(const Pair (&table)[N], DefaultProc kind)
        : count(static_cast<int>(N)), pairs(table), default_kind(kind)
    {
    }

    // The handler of `message`, or null.
    Handler find(UINT message) const
    {
        for (int i = 0; i < count; ++i)
            if (pairs[i].message == message) return pairs[i].handler;
        return nullptr;
    }

    LRESULT dispatch(Owner& self, HWND window, UINT message, WPARAM wparam, LPARAM lparam) const
    {
        if (Handler h = find(message)) return h(self, window, message, wparam, lparam);
        return default_proc(default_kind, window, message, wparam, lparam);
    }
};

// WM_COMMAND by command identifier (the low word of wParam). A handler receives the identifier,
// the notification code (the high word) and lParam.
template <class Owner>
struct CommandMap {
    using Handler = LRESULT (*)(Owner& self, HWND window, UINT command, UINT code, LPARAM lparam);
    struct Pair {
        UINT command;
        Handler handler;
    };

    int count;
    const Pair* pairs;
    DefaultProc default_kind;

    template <size_t N>
    constexpr CommandMap(const Pair (&table)[N], DefaultProc kind)
        : count(static_cast<int>(N)), pairs(table), default_kind(kind)
    {
    }

    Handler find(UINT command) const
    {
        for (int i = 0; i < count; ++i)
            if (pairs[i].command == command) return pairs[i].handler;
        return nullptr;
    }

    // True when the table held the command.
    bool handles(UINT command) const { return find(command) != nullptr; }

    LRESULT dispatch(Owner& self, HWND window, WPARAM wparam, LPARAM lparam) const
    {
        const UINT command = LOWORD(wparam);
        if (Handler h = find(command)) return h(self, window, command, HIWORD(wparam), lparam);
        return default_proc(default_kind, window, WM_COMMAND, wparam, lparam);
    }
};
