// The main window's commands as data: which ones leave the selection first, the drop-down menus
// of the toolbar buttons and the icons drawn beside their items.
#pragma once

#include <cstdint>

#include "resources/resource.h"

// The toolbar's own commands; the menu commands are the IDM_ values of the resources.
enum : int32_t {
    IDM_FORMAT_FIRST = 40026,
    IDM_FORMAT_LAST = 40036,
    ID_MENU_CROP = 1001,
    ID_MENU_ROTATE = 1002,
    ID_MENU_RETOUCH = 1003,
    ID_MENU_UNDO = 1004,
    ID_MENU_SAVE = 1005,
    ID_BACK_HOME = 1006,
    ID_ABOUT = 1007,
};

// True for the commands that take the view out of selection before acting: rotations, flips,
// undo, the one-click retouches, red eyes, Portrait and the formats. Zoom, saving and the dialogs
// keep the frame.
bool command_leaves_selection(int command);

// The menu resource of a drop-down button (1001..1005), or 0.
int command_menu_resource(int button);

struct MenuIcon {
    int32_t command;
    int32_t cell;  // 32 x 32 cell of the toolbar bitmap
};
constexpr int MENU_ICON_COUNT = 16;
extern const MenuIcon MENU_ICONS[MENU_ICON_COUNT];
// The icon cell of a menu command, or -1 for the items drawn without one.
int command_menu_icon(int command);

// The blur strength of the menu's "Flou".
constexpr unsigned COMMAND_BLUR_STRENGTH = 3;
// Quality of every JPEG the program writes.
constexpr int COMMAND_SAVE_QUALITY = 80;
