#include "app/Briova.h"

#include "resources/resource.h"

const ToolbarButton TOOLBAR_BUTTONS[TOOLBAR_BUTTON_COUNT] = {
    {40002, 2, IDS_ZOOMIN, true},         {40003, 1, IDS_ZOOMOUT, true},
    {40004, 3, IDS_FIT, true},            {CMD_CROP_MENU, 12, IDS_CROP, true},
    {CMD_ROTATE_MENU, 9, IDS_ROTATE, true}, {CMD_RETOUCH_MENU, 13, IDS_RETOUCH, true},
    {40024, 21, IDS_REMOVEREDEYES, true}, {40023, 22, IDS_ADDTEXT, true},
    {CMD_UNDO_MENU, 4, IDS_UNDO, true},   {CMD_SAVE_MENU, 14, IDS_SAVE, true},
    {CMD_BACK, 15, IDS_BACK, true},       {CMD_ABOUT, 23, IDS_ABOUT, false},
    {CMD_QUIT, 24, IDS_QUIT, false},
};

ScreenState screen_state(Screen screen)
{
    if (screen == Screen::home) return {true, false, false, false, IDS_STATUS};
    return {false, true, true, true, IDS_STATUS_VIEW};
}

bool toolbar_button_visible(const ToolbarButton& button, Screen screen)
{
    return !button.editing || screen_state(screen).editing_buttons_visible;
}

int status_height(int screen_height)
{
    return screen_height < 601 ? 32 : 64;
}

int product_link_height(int screen_height)
{
    if (screen_height < 601) return 46;
    if (screen_height < 801) return 124;
    return 310;
}

bool maker_link_enabled(int screen_height)
{
    return screen_height >= 601;
}

MainLayout main_layout(const LayoutInput& in)
{
    MainLayout out{};
    const int w = in.client_width;
    const int h = in.client_height;
    const int sh = status_height(in.screen_height);
    out.status = {TOOLBAR_WIDTH, h - sh, w - TOOLBAR_WIDTH, sh};
    const int top_of_status = h - sh;
    out.toolbar = {0, 0, TOOLBAR_WIDTH, h};
    out.maker = in.maker;
    if (in.maker_enabled) out.maker = {0, h - in.maker.height, in.maker.width, in.maker.height};
    const int product_bottom = in.maker_enabled && in.maker_visible ? out.maker.y : h;
    out.product = {0, product_bottom - in.product.height, in.product.width, in.product.height};
    out.info = {0, out.product.y - INFO_HEIGHT, in.product.width, INFO_HEIGHT};
    out.home = {TOOLBAR_WIDTH, 0, w - TOOLBAR_WIDTH, top_of_status};
    out.view = {TOOLBAR_WIDTH, 0, w - TOOLBAR_WIDTH, top_of_status};
    return out;
}

std::string settings_path(const std::string& executable_path)
{
    const size_t slash = executable_path.find_last_of('\\');
    const std::string folder = slash == std::string::npos ? std::string() : executable_path.substr(0, slash + 1);
    return folder + "lumeva.ini";
}
