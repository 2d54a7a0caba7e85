// The owner-drawn menus' arithmetic: colours lightened and darkened from the system's, and
// the size of an item.
#pragma once

#include <cstdint>

// Colour values are 0x00BBGGRR. A factor outside 0..1 leaves the colour as it is.
uint32_t colour_lighten(uint32_t colour, double factor);  // each channel c + (255 - c) * factor
uint32_t colour_darken(uint32_t colour, double factor);   // each channel c - c * factor

struct MenuItemSize {
    int width, height;
};
// An item of `text_width` pixels in a menu whose bar is `menu_height` high; icons of
// icon_width x icon_height when the menu has an image list. Separators (command 0) are 3 high.
MenuItemSize menu_item_size(bool separator, int text_width, int menu_height, bool has_icons, int icon_width,
                            int icon_height);
// Width of the icon column.
int menu_icon_column(bool has_icons, int icon_width);

// The 16 (command, image cell) pairs of the drop-down menus' icons.
struct MenuIcon {
    int command;
    int image;
};
constexpr int MENU_ICON_COUNT = 16;
extern const MenuIcon MENU_ICONS[MENU_ICON_COUNT];
