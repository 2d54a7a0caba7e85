// The main window's commands: the toolbar buttons and the items of their drop-down menus, the
// print formats with the quality lamp, the view's notifications and the two ways of saving.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/print_format.h"
#include "app/save_name.h"
#include "app/win32/Briova.h"
#include "app/win32/CBmp.h"
#include "app/win32/CMenu.h"
#include "app/win32/DlgAbout.h"
#include "app/win32/DlgAdjust.h"
#include "app/win32/DlgFont.h"
#include "app/win32/LanguageTable.h"
#include "app/win32/text_stamp.h"
#include "app/win32/commands.h"
#include "resources/resource.h"

namespace {

std::wstring wide(const std::string& s)
{
    if (s.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n : 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, w.data(), n);
    w.resize(w.size() - 1);
    return w;
}

std::string narrow(const std::wstring& w)
{
    if (w.empty()) return std::string();
    const int n = WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n > 0 ? n : 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, s.data(), n, nullptr, nullptr);
    s.resize(s.size() - 1);
    return s;
}

// ---- the view ---------------------------------------------------------------------------------

// Takes the view out of selection: no frame, free shape, no drawing.
void leave_selection(Application& app)
{
    if (CBmp* v = app.view()) {
        v->clear_selection();
        v->set_frame_shape(0);
        v->set_selection_mode(0);
    }
}

// Lets the user draw and move a frame again; an existing one is kept.
void enter_selection(Application& app)
{
    if (CBmp* v = app.view()) {
        v->set_frame_shape(0);
        v->set_selection_mode(VIEW_SELECTION_ON);
    }
}

void update_quality_from_selection(Application& app)
{
    ViewRect r;
    if (CBmp* v = app.view(); v && v->selection(&r)) {
        const RECT rect{r.left, r.top, r.right, r.bottom};
        app.quality_update(&rect);
    }
}

// ---- saving -----------------------------------------------------------------------------------

void show_save_problem(Application& app, const std::string& path)
{
    std::wstring message = text(IDS_SAVE_PROBLEM);
    const size_t at = message.find(L"%s");
    if (at != std::wstring::npos) message.replace(at, 2, wide(path));
    MessageBoxW(app.window(), message.c_str(), L"", MB_ICONSTOP | MB_OK);
}

void save_as(Application& app, const std::string& proposed_name)
{
    std::string folder, name;
    save_split_path(app.document.file_name, &folder, &name);
    if (!proposed_name.empty()) name = proposed_name;
    std::vector<wchar_t> file(MAX_PATH, L'\0');
    const std::wstring wname = wide(name).substr(0, MAX_PATH - 1);
    std::copy(wname.begin(), wname.end(), file.begin());
    const std::wstring wfolder = wide(folder);
    const std::wstring title = text(IDS_SAVEAS);
    static const wchar_t filter[] = L"JPEG\0*jpg\0";  // "*" then "jpg", as the filter always was

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = app.window();
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = wfolder.empty() ? nullptr : wfolder.c_str();
    ofn.lpstrTitle = title.c_str();
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_EXPLORER | OFN_LONGNAMES;
    if (!GetSaveFileNameW(&ofn)) return;

    const std::string path = save_as_path(narrow(file.data()));
    // The document keeps the name it was opened from: "Avec le même nom" still means that file.
    if (document_save(&app.document, path.c_str(), COMMAND_SAVE_QUALITY) != STATUS_OK)
        show_save_problem(app, path);
}

bool file_is_jpeg_to_keep(const std::string& path)
{
    unsigned char head[4] = {};
    size_t n = 0;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        n = std::fread(head, 1, sizeof head, f);
        std::fclose(f);
    }
    return save_same_name_in_place(path, head, n);
}

void save_same_name(Application& app)
{
    if (!app.document.current_picture) return;
    const std::string& path = app.document.file_name;
    // JPEG data under a PNG's (or BMP's, TIFF's...) name would destroy the lossless original:
    // such a photo is saved beside it, under its name with ".jpg".
    if (!file_is_jpeg_to_keep(path)) {
        std::string folder, name;
        save_split_path(path, &folder, &name);
        save_as(app, save_jpeg_name(name));
        return;
    }
    if (MessageBoxW(app.window(), text(IDS_SAVE_WARNING).c_str(), L"", MB_OKCANCEL) != IDOK) return;
    if (document_save(&app.document, path.c_str(), COMMAND_SAVE_QUALITY) != STATUS_OK)
        show_save_problem(app, path);
}

// ---- commands ---------------------------------------------------------------------------------

using Handler = LRESULT (*)(Application&, HWND, UINT, UINT, LPARAM);

LRESULT quit(Application&, HWND window, UINT, UINT, LPARAM)
{
    SendMessageW(window, WM_CLOSE, 0, 0);
    return 0;
}

LRESULT zoom(Application& app, HWND, UINT command, UINT, LPARAM)
{
    DocumentView* v = app.document.view;
    if (!v) return 0;
    if (command == IDM_ZOOMIN) v->view_zoom_in();
    else if (command == IDM_ZOOMOUT) v->view_zoom_out();
    else v->view_fit();
    return 0;
}

// The one-click retouches: the frame goes, the document does the rest.
LRESULT retouch(Application& app, HWND, UINT command, UINT, LPARAM)
{
    if (command_leaves_selection(static_cast<int>(command))) leave_selection(app);
    PhotoDocument* d = &app.document;
    switch (command) {
    case IDM_ROTATEL90: document_rotate(d, -90); break;
    case IDM_ROTATER90: document_rotate(d, 90); break;
    case IDM_HFLIP: document_flip_horizontal(d); break;
    case IDM_VFLIP: document_flip_vertical(d); break;
    case IDM_UNDOLAST: document_undo(d); break;
    case IDM_UNDOALL: document_undo_all(d); break;
    case IDM_AUTOCONTRAST: document_auto_contrast(d); break;
    case IDM_AUTOLEVELS: document_auto_levels(d); break;
    case IDM_BLUR: document_blur(d, COMMAND_BLUR_STRENGTH); break;
    case IDM_ENHANCE: document_sharpen(d); break;
    case IDM_BINARY: document_black_and_white(d); break;
    case IDM_SEPIA: document_sepia(d); break;
    default: break;
    }
    return 0;
}

LRESULT save(Application& app, HWND, UINT command, UINT, LPARAM)
{
    if (command == IDM_SAVEFILE) save_same_name(app);
    else save_as(app, std::string());
    return 0;
}

LRESULT balance(Application& app, HWND window, UINT, UINT, LPARAM)
{
    DlgAdjust dialog(window, app.document.file_name);
    if (dialog.run() == 1) {
        const AdjustResult& r = dialog.result();
        document_adjust(&app.document, r.brightness, r.contrast, r.gamma, r.red, r.green, r.blue);
    }
    return 0;
}

LRESULT add_text(Application& app, HWND window, UINT, UINT, LPARAM)
{
    DlgFont dialog(window);
    if (dialog.run() != 1) return 0;
    document_add_text(&app.document, app.view_window(), dialog.text().c_str(), dialog.font(), dialog.colour());
    app.set_status(IDS_STATUS_TEXT);
    return 0;
}

LRESULT red_eyes(Application& app, HWND, UINT, UINT, LPARAM)
{
    leave_selection(app);
    enter_selection(app);
    if (CBmp* v = app.view()) v->set_frame_colour(0x0000FF);
    app.red_eye_mode = true;
    app.set_status(IDS_STATUS_REDEYES);
    return 0;
}

LRESULT portrait(Application& app, HWND, UINT, UINT, LPARAM)
{
    leave_selection(app);
    enter_selection(app);
    app.portrait = !app.portrait;
    if (app.red_eye_mode) return 0;
    if (CBmp* v = app.view()) v->set_frame_shape(print_format_shape(app.print_format, app.portrait));
    update_quality_from_selection(app);
    return 0;
}

LRESULT print_format(Application& app, HWND, UINT command, UINT, LPARAM)
{
    leave_selection(app);
    app.print_format = print_format_of_command(static_cast<int>(command));
    enter_selection(app);
    if (CBmp* v = app.view()) v->set_frame_shape(print_format_shape(app.print_format, app.portrait));
    app.red_eye_mode = false;
    app.set_status(IDS_STATUS_CROP);
    update_quality_from_selection(app);
    return 0;
}

LRESULT drop_down(Application& app, HWND window, UINT command, UINT, LPARAM)
{
    application_drop_down(app, window, static_cast<int>(command));
    return 0;
}

LRESULT back(Application& app, HWND, UINT, UINT, LPARAM)
{
    app.back_to_home();
    return 0;
}

LRESULT about(Application&, HWND window, UINT, UINT, LPARAM)
{
    DlgAbout dialog(window);
    dialog.run();
    return 0;
}

constexpr CommandMap<Application>::Pair command_pairs[] = {
    {IDM_QUIT, quit},           {IDM_ZOOMIN, zoom},        {IDM_ZOOMOUT, zoom},
    {IDM_FIT, zoom},            {IDM_ROTATEL90, retouch},  {IDM_ROTATER90, retouch},
    {IDM_HFLIP, retouch},       {IDM_VFLIP, retouch},      {IDM_UNDOLAST, retouch},
    {IDM_UNDOALL, retouch},     {IDM_SAVEFILE, save},      {IDM_SAVEASFILE, save},
    {IDM_BALANCE, balance},     {IDM_AUTOCONTRAST, retouch}, {IDM_AUTOLEVELS, retouch},
    {IDM_BLUR, retouch},        {IDM_ENHANCE, retouch},    {IDM_BINARY, retouch},
    {IDM_SEPIA, retouch},       {IDM_ADDTEXT, add_text},   {IDM_REDEYES, red_eyes},
    {IDM_PORTRAIT, portrait},   {40026, print_format},     {40027, print_format},
    {40028, print_format},      {40029, print_format},     {40030, print_format},
    {40031, print_format},      {40032, print_format},     {40033, print_format},
    {40034, print_format},      {40035, print_format},     {40036, print_format},
    {CMD_CROP_MENU, drop_down}, {CMD_ROTATE_MENU, drop_down}, {CMD_RETOUCH_MENU, drop_down},
    {CMD_UNDO_MENU, drop_down}, {CMD_SAVE_MENU, drop_down}, {CMD_BACK, back},
    {CMD_ABOUT, about},
};

}  // namespace

const CommandMap<Application> application_commands{command_pairs, DefaultProc::window};

// ---- the drop-down menus ----------------------------------------------------------------------

void application_drop_down(Application& app, HWND window, int button)
{
    const int resource = command_menu_resource(button);
    if (!resource || !app.toolbar) return;
    RECT r{};
    const LRESULT index = SendMessageW(app.toolbar, TB_COMMANDTOINDEX, static_cast<WPARAM>(button), 0);
    SendMessageW(app.toolbar, TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
    MapWindowPoints(app.toolbar, nullptr, reinterpret_cast<POINT*>(&r), 2);
    SendMessageW(app.toolbar, TB_SETSTATE, static_cast<WPARAM>(button),
                 MAKELONG(TBSTATE_PRESSED | TBSTATE_ENABLED | TBSTATE_WRAP, 0));
    OwnerMenu menu;
    if (menu.load(app.instance, resource)) {
        if (button == CMD_CROP_MENU)
            CheckMenuItem(menu.menu(), IDM_PORTRAIT, MF_BYCOMMAND | (app.portrait ? MF_CHECKED : MF_UNCHECKED));
        menu.set_icons(app.instance, IDB_TOOLBAR, 25, 32, 32);
        menu.set_icon_table(MENU_ICONS, MENU_ICON_COUNT);
        TPMPARAMS keep_clear{sizeof keep_clear, r};
        TrackPopupMenuEx(GetSubMenu(menu.menu(), 0), TPM_VERTICAL, r.right, r.top, window, &keep_clear);
    }
    // A menu that could not be loaded is not shown; either way the button comes back up.
    SendMessageW(app.toolbar, TB_SETSTATE, static_cast<WPARAM>(button), MAKELONG(TBSTATE_ENABLED | TBSTATE_WRAP, 0));
    menu.destroy();
}

// ---- print quality ----------------------------------------------------------------------------

void Application::quality_update(const RECT* rect)
{
    if (home_shown) {
        if (info_panel.window()) ShowWindow(info_panel.window(), SW_HIDE);
        return;
    }
    if (info_panel.window()) ShowWindow(info_panel.window(), SW_SHOW);
    int level;
    if (rect) {
        level = print_quality_of_frame(print_format, portrait, rect->left, rect->top, rect->right, rect->bottom);
    } else {
        const Picture* p = document.current_picture.get();
        level = print_quality_of_picture(print_format, p ? p->width : 0, p ? p->height : 0);
    }
    info_panel.set_level(level);
    if (rect)
        if (CBmp* v = view()) v->set_frame_colour(print_quality_colour(level));
}

// ---- the view's notifications -----------------------------------------------------------------

int application_view_notification(const ViewEvent* e)
{
    auto* app = static_cast<Application*>(e->context);
    if (!app) return 0;
    CBmp* v = app->view();
    ViewRect r;
    switch (e->code) {
    case VIEW_EVENT_DRAG_ENDED:
        if (app->red_eye_mode && v && v->selection(&r)) {
            leave_selection(*app);
            document_red_eyes(&app->document, r.left, r.top, r.right, r.bottom);
            app->set_status(IDS_STATUS_VIEW);
        }
        break;
    case VIEW_EVENT_CLICK_INSIDE:
        if (v && v->selection(&r)) {
            leave_selection(*app);
            document_crop(&app->document, r.left, r.top, r.right, r.bottom);
            app->quality_update(nullptr);
            app->set_status(IDS_STATUS_VIEW);
        }
        break;
    case VIEW_EVENT_SELECTION_CHANGED:
        if (!app->red_eye_mode) {
            if (e->rect_width == 0) {
                app->quality_update(nullptr);
            } else {
                const RECT rect{e->rect_x, e->rect_y, e->rect_x + e->rect_width, e->rect_y + e->rect_height};
                app->quality_update(&rect);
            }
        }
        break;
    default: break;
    }
    return 0;
}
