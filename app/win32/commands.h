// What the main window's command code offers beside its command table.
#pragma once

#include <windows.h>

class Application;

// Shows the drop-down menu of toolbar button 1001..1005 beside the button; the chosen item
// comes back as a WM_COMMAND.
void application_drop_down(Application& app, HWND window, int button);
