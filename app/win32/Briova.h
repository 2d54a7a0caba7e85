// The application: start-up, the main window "DorvexClass" with its vertical toolbar and
// layout, the two screens, opening a photo and quitting.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/Briova.h"
#include "app/document_view.h"
#include "app/win32/MessageMap.h"
#include "app/win32/Window.h"
#include "app/win32/shell_standins.h"
#include "editing/document.h"

class CBmp;

class Application : public Window<Application> {
public:
    // Starts the program up to the main window shown maximised. When that fails, exit_code()
    // tells the program's answer.
    explicit Application(HINSTANCE instance);
    ~Application() override;

    bool started() const { return started_; }
    int exit_code() const { return exit_code_; }
    // The message loop; the wParam of the quit message.
    int run();

    // Opens a photo for editing (the home screen calls it). A photo that cannot be opened
    // changes nothing. `path` is in the system's 8-bit code page.
    bool open_photo(const char* path);
    bool open_photo(const std::wstring& path);
    // The unsaved-changes question; true to go on.
    bool may_leave_photo();
    // Command 1006.
    void back_to_home();
    // Shows or hides the editing buttons for the current screen.
    void toolbar_update();
    void set_status(int id);
    // The quit flow of WM_CLOSE: the two questions, then the windows go.
    void quit();
    // Print-quality evaluation; filled by the command code. `rect` is left, top, right, bottom.
    void quality_update(const RECT* rect);
    // The view window and its object.
    HWND view_window() const { return view_; }
    CBmp* view() const;
    Screen screen() const { return home_shown ? Screen::home : Screen::editing; }

    // Fields, in the order the program thinks of them.
    HWND toolbar = nullptr;
    HomeScreen* home_screen = nullptr;
    PhotoDocument document;
    StatusText status_text;
    bool home_shown = true;
    BitmapLink product_link;
    BitmapLink maker_link;
    Info info_panel;
    int print_format = 1;
    bool portrait = false;
    bool red_eye_mode = false;
    HINSTANCE instance = nullptr;
    HACCEL accelerators = nullptr;

    static const MessageMap<Application> message_map;

private:
    friend struct MainWindowHandlers;
    bool window_main_create();
    bool create_toolbar();
    void create_status_text();
    void lay_out();
    void show_screen();

    HWND view_ = nullptr;
    PictureViewForDocument* document_view_ = nullptr;
    HFONT status_font_ = nullptr;
    HIMAGELIST toolbar_images_ = nullptr;
    Splash splash_;
    bool started_ = false;
    int exit_code_ = 0;
    bool library_started_ = false;
    bool display_tables_ = false;
};

// The one application, once its main window exists.
extern Application* g_application;

// The main window's WM_COMMAND table, filled by the command code.
extern const CommandMap<Application> application_commands;
// The view's notifications to the application.
int application_view_notification(const ViewEvent* event);
