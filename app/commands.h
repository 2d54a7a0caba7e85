// The main window's commands as data: which ones leave the selection first and the drop-down
// menus of the toolbar buttons.
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

// The blur strength of the menu's "Flou".
constexpr unsigned COMMAND_BLUR_STRENGTH = 3;
// Quality of every JPEG the program writes.
constexpr int COMMAND_SAVE_QUALITY = 80;
