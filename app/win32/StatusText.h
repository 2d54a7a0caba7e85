// The status line "StatusTextClass": one line of help text, centred on a plain background.
#pragma once

#include <windows.h>

#include <string>

#include "app/win32/Window.h"

class StatusText : public Window<StatusText> {
public:
    bool create(HWND parent, DWORD style, int x, int y, int width, int height);
    void set_colour(COLORREF colour);
    void set_text(const std::wstring& text);
    const std::wstring& text() const { return text_; }
    COLORREF colour() const { return colour_; }
    HFONT font() const { return font_; }
    static const MessageMap<StatusText> message_map;

private:
    friend struct StatusTextHandlers;
    std::wstring text_;
    HFONT font_ = nullptr;  // given by WM_SETFONT, owned by the giver
    COLORREF colour_ = 0xFFFFFF;
};
