// The link pictures "WebBitmapClass": a bitmap repeated down the window that opens a web address
// when clicked.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "app/win32/Window.h"

class BitmapLink : public Window<BitmapLink> {
public:
    // What a click does with the address; by default the shell's "open".
    using Opener = std::function<void(HWND owner, const std::wstring& address)>;

    bool create(HWND parent, DWORD style, int id, int x, int y, int width, int height, int bitmap,
                const wchar_t* address);
    // Frees the bitmap and the address and destroys the window.
    void destroy();
    void set_opener(Opener opener) { opener_ = std::move(opener); }
    HBITMAP bitmap() const { return bitmap_; }
    const std::wstring& address() const { return address_; }
    static const MessageMap<BitmapLink> message_map;

private:
    friend struct LinkHandlers;
    HBITMAP bitmap_ = nullptr;
    std::wstring address_;
    Opener opener_;
};
