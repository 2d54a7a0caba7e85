// Plain stand-ins for the status line, the Info panel, the links, the splash and the home screen,
// with the operations the main window uses, until the real windows take their place.
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
    static const MessageMap<StatusText> message_map;

private:
    friend struct StatusTextHandlers;
    std::wstring text_;
    HFONT font_ = nullptr;
    COLORREF colour_ = 0xFFFFFF;
};

class Info : public Window<Info> {
public:
    bool create(HWND parent, DWORD style, int x, int y, int width, int height);
    void set_level(int level);
    int level() const { return level_; }
    static const MessageMap<Info> message_map;

private:
    friend struct InfoHandlers;
    int level_ = 0;
};

class BitmapLink : public Window<BitmapLink> {
public:
    bool create(HWND parent, DWORD style, int id, int x, int y, int width, int height, int bitmap,
                const wchar_t* address);
    void destroy();
    static const MessageMap<BitmapLink> message_map;

private:
    friend struct LinkHandlers;
    HBITMAP bitmap_ = nullptr;
    std::wstring address_;
};

class Splash {
public:
    void start(int bitmap);
    void close();

private:
    HWND window_ = nullptr;
    long long start_ = 0;
};

// The home screen: a container of class "DlgFileClass" listing the user's pictures folder.
class HomeScreen : public Window<HomeScreen> {
public:
    static HomeScreen* create(HWND parent);
    void place(const RECT& area);
    void destroy();
    static const MessageMap<HomeScreen> message_map;

private:
    friend struct HomeHandlers;
    HWND list_ = nullptr;
    std::wstring folder_;
};
