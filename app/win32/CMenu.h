// Drop-down menus drawn by the program: translated from the language file, each item with its
// 32 x 32 icon from the toolbar strip, check marks and accelerator texts.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>
#include <vector>

#include "app/CMenu.h"

class OwnerMenu {
public:
    OwnerMenu() = default;
    ~OwnerMenu() { destroy(); }
    OwnerMenu(const OwnerMenu&) = delete;
    OwnerMenu& operator=(const OwnerMenu&) = delete;

    // Loads menu `number`, translates it and makes every item of its popups owner-drawn.
    bool load(HINSTANCE instance, int number);
    // A masked image list of the bitmap's cells (mask colour magenta).
    bool set_icons(HINSTANCE instance, int bitmap, int count, int cell_width, int cell_height);
    void set_icon_table(const MenuIcon* pairs, int count);
    void measure_item(MEASUREITEMSTRUCT* item) const;
    void draw_item(const DRAWITEMSTRUCT* item) const;
    void destroy();

    HMENU menu() const { return menu_; }
    HIMAGELIST images() const { return images_; }

private:
    void make_owner_drawn(HMENU menu);
    int icon_of(UINT command) const;
    std::wstring text_of(UINT command) const;

    HMENU menu_ = nullptr;
    HIMAGELIST images_ = nullptr;
    bool owns_menu_ = false;
    bool owns_images_ = false;
    std::vector<MenuIcon> icons_;
    std::map<UINT, std::wstring> texts_;  // the items' texts as they were when made owner-drawn
};

// The main window's WM_MEASUREITEM and WM_DRAWITEM: menus whose item data is an OwnerMenu.
// 1 when handled, 0 otherwise.
LRESULT owner_menu_message(UINT message, WPARAM wparam, LPARAM lparam);
