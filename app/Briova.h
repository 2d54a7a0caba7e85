// The main window's window-free logic: the toolbar's buttons, the two screens and what each
// shows, the layout numbers for a client area and screen, and the settings file's place.
#pragma once

#include <string>

// Commands of the toolbar buttons that are not menu items.
enum : int {
    CMD_CROP_MENU = 1001,
    CMD_ROTATE_MENU = 1002,
    CMD_RETOUCH_MENU = 1003,
    CMD_UNDO_MENU = 1004,
    CMD_SAVE_MENU = 1005,
    CMD_BACK = 1006,
    CMD_ABOUT = 1007,
    CMD_QUIT = 40001,
};

struct ToolbarButton {
    int command;
    int image;       // cell of the 25-cell strip
    int caption_id;  // IDS_ number of the caption
    bool editing;    // shown on the editing screen only
};

constexpr int TOOLBAR_BUTTON_COUNT = 13;
extern const ToolbarButton TOOLBAR_BUTTONS[TOOLBAR_BUTTON_COUNT];
constexpr int TOOLBAR_WIDTH = 140;
constexpr int TOOLBAR_BUTTON_WIDTH = 138;

enum class Screen { home, editing };

// What each screen shows.
struct ScreenState {
    bool home_visible;
    bool view_visible;
    bool info_visible;
    bool editing_buttons_visible;
    int status_id;  // the status text on entering the screen
};
ScreenState screen_state(Screen screen);
// Whether a toolbar button shows on a screen.
bool toolbar_button_visible(const ToolbarButton& button, Screen screen);

// Sizes that depend on the screen's height.
int status_height(int screen_height);
int product_link_height(int screen_height);
bool maker_link_enabled(int screen_height);
constexpr int LINK_WIDTH = 138;
constexpr int MAKER_LINK_HEIGHT = 46;
constexpr int INFO_HEIGHT = 48;

struct LayoutRect {
    int x, y, width, height;
    bool operator==(const LayoutRect&) const = default;
};

struct LayoutInput {
    int client_width, client_height, screen_height;
    bool maker_enabled;  // the maker link exists and is enabled
    bool maker_visible;
    LayoutRect product;  // the links keep their sizes
    LayoutRect maker;
};

struct MainLayout {
    LayoutRect status, toolbar, maker, product, info, home, view;
};
MainLayout main_layout(const LayoutInput& in);

// "lumeva.ini" in the executable's folder: the path cut after its last backslash.
std::string settings_path(const std::string& executable_path);
