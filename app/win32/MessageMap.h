// Table-driven window procedures: a window's messages (or a dialog's commands) are a list of
// (number, handler) pairs searched in order.
#pragma once

#include <windows.h>

using MessageHandler = LRESULT (*)(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

enum DefaultProcKind { DEFAULT_NONE = 0, DEFAULT_WINDOW = 1, DEFAULT_DIALOG = 2, DEFAULT_MDI_CHILD = 3 };

struct MessagePair {
    UINT message;
    MessageHandler handler;
};

struct MessageMap {
    int count;
    const MessagePair* pairs;
    DefaultProcKind default_kind;
};

inline LRESULT message_map_dispatch(const MessageMap& map, HWND window, UINT message, WPARAM wparam,
                                    LPARAM lparam)
{
    for (int i = 0; i < map.count; ++i)
        if (map.pairs[i].message == message) return map.pairs[i].handler(window, message, wparam, lparam);
    switch (map.default_kind) {
    case DEFAULT_WINDOW: return DefWindowProcW(window, message, wparam, lparam);
    case DEFAULT_DIALOG: return DefDlgProcW(window, message, wparam, lparam);
    case DEFAULT_MDI_CHILD: return DefMDIChildProcW(window, message, wparam, lparam);
    default: return 0;
    }
}

template <size_t N>
constexpr MessageMap make_message_map(const MessagePair (&pairs)[N], DefaultProcKind kind)
{
    return MessageMap{static_cast<int>(N), pairs, kind};
}
