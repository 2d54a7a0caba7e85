// The main window's commands as data: which ones leave the selection first, the drop-down menus
// of the toolbar buttons and the icons drawn beside their items.
#pragma once

#include <cstdint>

#include "app/Briova.h"
#include "resources/resource.h"

// The eleven print formats, 40026 ("9x13") to 40036 ("15x20").
enum : int32_t { IDM_FORMAT_FIRST = 40026, IDM_FORMAT_LAST = 40036 };

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
