// The entry point: the application lives on this stack frame for the whole run.
#include <windows.h>

#include "app/win32/Briova.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    int code;
    {
        Application app(instance);
        code = app.started() ? app.run() : app.exit_code();
    }
    return code;
}
