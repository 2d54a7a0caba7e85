// The Info panel "InfoClass": three lamps and a word telling how well the picture's resolution
// suits the chosen print format.
#pragma once

#include <windows.h>

#include "app/win32/Window.h"

class Info : public Window<Info> {
public:
    bool create(HWND parent, DWORD style, int x, int y, int width, int height);
    // 2 optimal, 1 satisfactory, anything else insufficient; repaints at once.
    void set_level(int level);
    int level() const { return level_; }
    static const MessageMap<Info> message_map;

private:
    friend struct InfoHandlers;
    int level_ = 0;
};
