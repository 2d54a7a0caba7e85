// The main window's commands.
#include <windows.h>

#include "app/win32/Briova.h"
#include "app/win32/CBmp.h"
#include "app/win32/DlgAbout.h"

namespace {

LRESULT back(Application& app, HWND, UINT, UINT, LPARAM)
{
    app.back_to_home();
    return 0;
}

LRESULT about(Application& app, HWND window, UINT, UINT, LPARAM)
{
    DlgAbout dialog(window);
    dialog.run();
    (void)app;
    return 0;
}

LRESULT quit(Application&, HWND window, UINT, UINT, LPARAM)
{
    SendMessageW(window, WM_CLOSE, 0, 0);
    return 0;
}

constexpr CommandMap<Application>::Pair command_pairs[] = {
    {CMD_BACK, back},
    {CMD_ABOUT, about},
    {CMD_QUIT, quit},
};

}  // namespace

const CommandMap<Application> application_commands{command_pairs, DefaultProc::window};

void Application::quality_update(const RECT*)
{
    if (home_shown) {
        if (info_panel.window()) ShowWindow(info_panel.window(), SW_HIDE);
        return;
    }
    if (info_panel.window()) ShowWindow(info_panel.window(), SW_SHOW);
}

int application_view_notification(const ViewEvent*)
{
    return 0;
}
