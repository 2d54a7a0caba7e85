// The application and its main window.
#include "app/win32/Briova.h"

#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>

#include "app/product.h"
#include "app/win32/CBmp.h"
#include "app/win32/CMenu.h"
#include "app/win32/LanguageTable.h"
#include "app/win32/ModalDialog.h"
#include "app/win32/BitmapRegister.h"
#include "app/win32/bitmap.h"
#include "core/format.h"
#include "resources/resource.h"

Application* g_application = nullptr;
IMalloc* g_shell_malloc = nullptr;

namespace {

constexpr COLORREF kMainBackground = 0x00FDF2E8;
constexpr int kToolbarId = 1001;
constexpr int kProductLinkId = 2001;
constexpr int kMakerLinkId = 2002;

void move(HWND window, const LayoutRect& r)
{
    if (window) MoveWindow(window, r.x, r.y, r.width, r.height, TRUE);
}

LayoutRect rect_in_parent(HWND window)
{
    RECT r{};
    if (!window) return {};
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void show(HWND window, bool visible)
{
    if (window) ShowWindow(window, visible ? SW_SHOW : SW_HIDE);
}

}  // namespace

// ---- main-window messages -------------------------------------------------------------------

struct MainWindowHandlers {
    static LRESULT create(Application&, HWND, UINT, WPARAM, LPARAM) { return 0; }
    static LRESULT command(Application& app, HWND window, UINT, WPARAM w, LPARAM l)
    {
        return application_commands.dispatch(app, window, w, l);
    }
    static LRESULT close(Application& app, HWND, UINT, WPARAM, LPARAM)
    {
        app.quit();
        return 0;
    }
    static LRESULT destroy(Application&, HWND, UINT, WPARAM, LPARAM)
    {
        PostQuitMessage(1);
        return 0;
    }
    static LRESULT size(Application& app, HWND, UINT, WPARAM, LPARAM)
    {
        app.lay_out();
        return 0;
    }
    static LRESULT notify(Application&, HWND, UINT, WPARAM, LPARAM) { return 0; }
    static LRESULT owner_drawn(Application&, HWND, UINT message, WPARAM w, LPARAM l)
    {
        return ::owner_menu_message(message, w, l);
    }
    static LRESULT text_placed(Application& app, HWND, UINT, WPARAM, LPARAM)
    {
        if (CBmp* view = app.view()) view->set_callback(application_view_notification, &app);
        app.set_status(IDS_STATUS_VIEW);
        return 0;
    }

    static constexpr MessageMap<Application>::Pair pairs[] = {
        {WM_CREATE, create},         {WM_COMMAND, command},          {WM_CLOSE, close},
        {WM_DESTROY, destroy},       {WM_SIZE, size},                {WM_NOTIFY, notify},
        {WM_MEASUREITEM, owner_drawn}, {WM_DRAWITEM, owner_drawn}, {WM_USER + 5, text_placed},
    };
};
const MessageMap<Application> Application::message_map{MainWindowHandlers::pairs, DefaultProc::window};

// ---- start-up -------------------------------------------------------------------------------

Application::Application(HINSTANCE module)
{
    splash_.start(IDB_SPLASH);
    if (!display_tables_create()) {
        exit_code_ = 1;
        splash_.close();
        return;
    }
    display_tables_ = true;
    instance = module;
    set_resource_module(module);
    // The resources hold no such table: the loop's translation never matches.
    accelerators = LoadAcceleratorsW(module, L"AccTable");
    library_init();
    library_started_ = true;
    SHGetMalloc(&g_shell_malloc);

    char executable[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, executable, MAX_PATH);
    char code[4] = {};
    GetPrivateProfileStringA("general", "language", "fr", code, sizeof code, settings_path(executable).c_str());
    language().load(module, code);

    INITCOMMONCONTROLSEX controls{sizeof controls, 0x5FF};
    InitCommonControlsEx(&controls);
    if (!window_main_create()) {
        exit_code_ = 0;
        splash_.close();
        return;
    }
    g_application = this;
    create_status_text();
    create_toolbar();

    const int screen_height = GetSystemMetrics(SM_CYSCREEN);
    product_link.create(toolbar, WS_VISIBLE | WS_BORDER, kProductLinkId, 0, 0, LINK_WIDTH,
                        product_link_height(screen_height), IDB_PRODUCT_LINK, LUMEVA_PRODUCT_PAGE);
    maker_link.create(toolbar, WS_VISIBLE | WS_BORDER, kMakerLinkId, 0, 0, LINK_WIDTH, MAKER_LINK_HEIGHT,
                      IDB_MAKER_LINK, LUMEVA_MAKER_PAGE);
    if (!maker_link_enabled(screen_height)) {
        ShowWindow(maker_link.window(), SW_HIDE);
        EnableWindow(maker_link.window(), FALSE);
    }
    info_panel.create(toolbar, WS_BORDER, 0, 0, LINK_WIDTH, 66);

    home_screen = HomeScreen::create(window());
    view_ = CBmp::create(window(), WS_BORDER, document.background);
    if (CBmp* v = view()) {
        document_view_ = new PictureViewForDocument(v);
        document.view = document_view_;
    }
    document_set_undo(&document, true);
    if (CBmp* v = view()) v->set_callback(application_view_notification, this);
    home_shown = true;
    set_status(IDS_STATUS);
    lay_out();

    splash_.close();
    ShowWindow(window(), SW_SHOWMAXIMIZED);
    BringWindowToTop(window());
    started_ = true;
}

bool Application::window_main_create()
{
    WNDCLASSW wc{};
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_LUMEVA));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = CreateSolidBrush(kMainBackground);
    wc.lpszMenuName = MAKEINTRESOURCEW(102);
    wc.lpszClassName = LUMEVA_MAIN_CLASS;
    if (!register_class(wc)) return false;
    const int width = GetSystemMetrics(SM_CXSCREEN) / 2;
    const int height = GetSystemMetrics(SM_CYSCREEN) / 2;
    HWND window = create_window(WS_EX_TOPMOST, LUMEVA_MAIN_CLASS, LUMEVA_MAIN_TITLE,
                                WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX,
                                CW_USEDEFAULT, CW_USEDEFAULT, width, height, nullptr, nullptr);
    if (!window) {
        wchar_t message[64];
        std::swprintf(message, 64, L"WindowMainCreate() failed: %d", static_cast<int>(GetLastError()));
        MessageBoxW(nullptr, message, L"Error", MB_OK);
        return false;
    }
    return true;
}

void Application::create_status_text()
{
    status_text.create(window(), WS_VISIBLE | WS_BORDER, 0, 0, 10, 10);
    status_text.set_colour(0xFFFFFF);
    LOGFONTW font{};
    HDC dc = GetDC(window());
    font.lfHeight = -MulDiv(12, GetDeviceCaps(dc, LOGPIXELSY), 72);
    ReleaseDC(window(), dc);
    font.lfWeight = 700;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = PROOF_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH;
    lstrcpyW(font.lfFaceName, L"Arial");
    status_font_ = CreateFontIndirectW(&font);
    if (status_text.window()) SendMessageW(status_text.window(), WM_SETFONT, reinterpret_cast<WPARAM>(status_font_), 0);
}

bool Application::create_toolbar()
{
    toolbar_images_ = ImageList_Create(32, 32, ILC_COLOR24 | ILC_MASK, 5, 1);
    if (HBITMAP strip = LoadBitmapW(instance, MAKEINTRESOURCEW(IDB_TOOLBAR))) {
        ImageList_AddMasked(toolbar_images_, strip, 0xFF00FF);
        DeleteObject(strip);
    }
    toolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"",
                              WS_CHILD | WS_VISIBLE | WS_BORDER | CCS_TOP | CCS_NOMOVEY | CCS_NORESIZE |
                                  CCS_NODIVIDER | CCS_VERT | TBSTYLE_FLAT | TBSTYLE_LIST,
                              0, 0, TOOLBAR_WIDTH, 50, window(), reinterpret_cast<HMENU>(kToolbarId), instance,
                              nullptr);
    if (!toolbar) return false;
    SendMessageW(toolbar, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    SendMessageW(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(toolbar, TB_SETBITMAPSIZE, 0, MAKELONG(32, 32));
    if (HIMAGELIST old = reinterpret_cast<HIMAGELIST>(
            SendMessageW(toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(toolbar_images_))))
        if (old != toolbar_images_) ImageList_Destroy(old);

    TBBUTTON buttons[TOOLBAR_BUTTON_COUNT] = {};
    for (int i = 0; i < TOOLBAR_BUTTON_COUNT; ++i) {
        const ToolbarButton& b = TOOLBAR_BUTTONS[i];
        // TB_ADDSTRING takes a list of strings ended by an empty one.
        std::wstring caption = text(b.caption_id);
        caption.push_back(L'\0');
        buttons[i].iBitmap = b.image;
        buttons[i].idCommand = b.command;
        buttons[i].fsState = static_cast<BYTE>(
            (toolbar_button_visible(b, Screen::home) ? TBSTATE_ENABLED : TBSTATE_HIDDEN) | TBSTATE_WRAP);
        buttons[i].fsStyle = BTNS_BUTTON;
        buttons[i].iString = SendMessageW(toolbar, TB_ADDSTRINGW, 0, reinterpret_cast<LPARAM>(caption.c_str()));
    }
    SendMessageW(toolbar, TB_ADDBUTTONSW, TOOLBAR_BUTTON_COUNT, reinterpret_cast<LPARAM>(buttons));
    const DWORD size = static_cast<DWORD>(SendMessageW(toolbar, TB_GETBUTTONSIZE, 0, 0));
    SendMessageW(toolbar, TB_SETBUTTONSIZE, 0, MAKELONG(TOOLBAR_BUTTON_WIDTH, HIWORD(size)));
    return true;
}

// ---- running --------------------------------------------------------------------------------

int Application::run()
{
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (accelerators && TranslateAcceleratorW(window(), accelerators, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

CBmp* Application::view() const
{
    return CBmp::of(view_);
}

void Application::set_status(int id)
{
    status_text.set_text(text(id));
}

void Application::lay_out()
{
    if (!g_application || !window()) return;
    RECT client;
    GetClientRect(window(), &client);
    LayoutInput in{};
    in.client_width = client.right;
    in.client_height = client.bottom;
    in.screen_height = GetSystemMetrics(SM_CYSCREEN);
    in.maker_enabled = maker_link.window() && IsWindowEnabled(maker_link.window());
    in.maker_visible = maker_link.window() && IsWindowVisible(maker_link.window());
    in.product = rect_in_parent(product_link.window());
    in.maker = rect_in_parent(maker_link.window());
    const MainLayout layout = main_layout(in);
    move(status_text.window(), layout.status);
    move(toolbar, layout.toolbar);
    if (in.maker_enabled) move(maker_link.window(), layout.maker);
    move(product_link.window(), layout.product);
    move(info_panel.window(), layout.info);
    if (home_screen) {
        const RECT area{layout.home.x, layout.home.y, layout.home.x + layout.home.width,
                        layout.home.y + layout.home.height};
        home_screen->place(area);
    }
    move(view_, layout.view);
}

void Application::toolbar_update()
{
    if (!toolbar) return;
    for (const ToolbarButton& b : TOOLBAR_BUTTONS) {
        if (!b.editing) continue;
        const BYTE state = (toolbar_button_visible(b, screen()) ? TBSTATE_ENABLED : TBSTATE_HIDDEN) | TBSTATE_WRAP;
        SendMessageW(toolbar, TB_SETSTATE, b.command, MAKELONG(state, 0));
    }
    const DWORD size = static_cast<DWORD>(SendMessageW(toolbar, TB_GETBUTTONSIZE, 0, 0));
    SendMessageW(toolbar, TB_SETBUTTONSIZE, 0, MAKELONG(TOOLBAR_BUTTON_WIDTH, HIWORD(size)));
}

void Application::show_screen()
{
    const ScreenState state = screen_state(screen());
    if (home_screen) show(home_screen->window(), state.home_visible);
    show(view_, state.view_visible);
    quality_update(nullptr);
    toolbar_update();
    set_status(state.status_id);
}

bool Application::open_photo(const char* path)
{
    if (!path || document_open(&document, path) != STATUS_OK) return false;
    home_shown = false;
    show_screen();
    return true;
}

bool Application::open_photo(const std::wstring& path)
{
    const int n = WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return false;
    std::string narrow(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, narrow.data(), n, nullptr, nullptr);
    return open_photo(narrow.c_str());
}

bool Application::may_leave_photo()
{
    if (home_shown || !document.modified) return true;
    return MessageBoxW(window(), text(IDS_SAVEQUESTION).c_str(), L"", MB_OKCANCEL) == IDOK;
}

void Application::back_to_home()
{
    if (!may_leave_photo()) return;
    document_release_all(&document);
    home_shown = true;
    show_screen();
}

void Application::quit()
{
    if (MessageBoxW(window(), text(IDS_CLOSE_WARNING).c_str(), L"", MB_OKCANCEL) != IDOK) return;
    if (!may_leave_photo()) return;
    if (IsIconic(window())) ShowWindow(window(), SW_RESTORE);
    if (home_screen) {
        home_screen->destroy();
        home_screen = nullptr;
    }
    DestroyWindow(window());
}

// ---- shutdown -------------------------------------------------------------------------------

Application::~Application()
{
    if (g_application == this) g_application = nullptr;
    if (display_tables_) display_tables_destroy();
    if (g_shell_malloc) {
        g_shell_malloc->Release();
        g_shell_malloc = nullptr;
    }
    if (library_started_) library_exit();
    document_release_all(&document);
    info_panel.destroy_window();
    product_link.destroy();
    maker_link.destroy();
    status_text.destroy_window();
    if (home_screen) home_screen->destroy();
    // The view window goes with its object; the document only forgets it.
    if (view_ && IsWindow(view_)) DestroyWindow(view_);
    document.view = nullptr;
    delete document_view_;
    if (status_font_) DeleteObject(status_font_);
    if (window() && IsWindow(window())) DestroyWindow(window());
    // Only now: the home screen's thumbnails and the panels' bitmaps go with their windows above,
    // and reporting them earlier would call them lost.
    bitmap_register_report();
    language().unload();
}
