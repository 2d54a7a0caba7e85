#include "app/win32/shell_standins.h"

#include <shellapi.h>
#include <shlobj.h>

#include <ctime>

#include "app/win32/Briova.h"
#include "app/win32/ModalDialog.h"
#include "app/win32/LanguageTable.h"
#include "resources/resource.h"

namespace {

bool register_simple(const wchar_t* name, UINT style, LPCWSTR cursor)
{
    WNDCLASSW wc{};
    wc.style = style;
    wc.hCursor = cursor ? LoadCursorW(nullptr, cursor) : nullptr;
    wc.lpszClassName = name;
    return WindowBase::register_class(wc);
}

void fill(HDC dc, const RECT& r, COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

}  // namespace

// ---- status text ----------------------------------------------------------------------------

struct StatusTextHandlers {
    static LRESULT paint(StatusText& s, HWND window, UINT, WPARAM, LPARAM)
    {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT r;
        GetClientRect(window, &r);
        if (GetSystemMetrics(SM_CYSCREEN) > 600) r.bottom -= 20;
        fill(dc, r, s.colour_);
        if (!s.text_.empty()) {
            HGDIOBJ old = s.font_ ? SelectObject(dc, s.font_) : nullptr;
            SetBkMode(dc, TRANSPARENT);
            DrawTextW(dc, s.text_.c_str(), -1, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
            if (old) SelectObject(dc, old);
        }
        EndPaint(window, &ps);
        return 0;
    }
    static LRESULT set_font(StatusText& s, HWND, UINT, WPARAM w, LPARAM)
    {
        s.font_ = reinterpret_cast<HFONT>(w);
        return 0;
    }
    static LRESULT nothing(StatusText&, HWND, UINT, WPARAM, LPARAM) { return 0; }
    static constexpr MessageMap<StatusText>::Pair pairs[] = {
        {WM_PAINT, paint}, {WM_SETFONT, set_font}, {WM_DESTROY, nothing}};
};
const MessageMap<StatusText> StatusText::message_map{StatusTextHandlers::pairs, DefaultProc::window};

bool StatusText::create(HWND parent, DWORD style, int x, int y, int width, int height)
{
    if (!register_simple(L"StatusTextClass", CS_HREDRAW | CS_VREDRAW, nullptr)) return false;
    return create_window(0, L"StatusTextClass", L"", style | WS_CHILD, x, y, width, height, parent, nullptr) !=
           nullptr;
}

void StatusText::set_colour(COLORREF colour)
{
    colour_ = colour;
    if (window()) InvalidateRect(window(), nullptr, TRUE);
}

void StatusText::set_text(const std::wstring& text)
{
    text_ = text;
    if (window()) InvalidateRect(window(), nullptr, TRUE);
}

// ---- Info panel -----------------------------------------------------------------------------

struct InfoHandlers {
    static LRESULT paint(Info& info, HWND window, UINT, WPARAM, LPARAM)
    {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT r;
        GetClientRect(window, &r);
        fill(dc, r, 0xFFFFFF);
        const int x0 = (r.right - 96) / 2;
        const COLORREF lit[3] = {0x00FF00, 0x00FFFF, 0x0000FF};
        const bool on[3] = {info.level_ == 2, info.level_ == 1, info.level_ != 1 && info.level_ != 2};
        for (int i = 0; i < 3; ++i) {
            HBRUSH brush = CreateSolidBrush(on[i] ? lit[i] : 0x808080);
            HGDIOBJ old = SelectObject(dc, brush);
            Ellipse(dc, x0 + 4 + 32 * i, 4, x0 + 28 + 32 * i, 28);
            SelectObject(dc, old);
            DeleteObject(brush);
        }
        const int id = info.level_ == 2 ? IDS_INFO_GREEN : info.level_ == 1 ? IDS_INFO_YELLOW : IDS_INFO_RED;
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, text(id, 64).c_str(), -1, &r, DT_SINGLELINE | DT_CENTER | DT_BOTTOM);
        EndPaint(window, &ps);
        return 0;
    }
    static constexpr MessageMap<Info>::Pair pairs[] = {{WM_PAINT, paint}};
};
const MessageMap<Info> Info::message_map{InfoHandlers::pairs, DefaultProc::window};

bool Info::create(HWND parent, DWORD style, int x, int y, int width, int height)
{
    if (!register_simple(L"InfoClass", CS_HREDRAW | CS_VREDRAW, IDC_HAND)) return false;
    return create_window(0, L"InfoClass", L"", style | WS_CHILD, x, y, width, height, parent, nullptr) != nullptr;
}

void Info::set_level(int level)
{
    level_ = level;
    if (window()) {
        InvalidateRect(window(), nullptr, TRUE);
        UpdateWindow(window());
    }
}

// ---- links ----------------------------------------------------------------------------------

struct LinkHandlers {
    static LRESULT paint(BitmapLink& link, HWND window, UINT, WPARAM, LPARAM)
    {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT r;
        GetClientRect(window, &r);
        BITMAP bm{};
        if (link.bitmap_ && GetObjectW(link.bitmap_, sizeof bm, &bm) && bm.bmHeight > 0) {
            HDC memory = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(memory, link.bitmap_);
            for (int y = 0; y < r.bottom; y += bm.bmHeight + 1)
                BitBlt(dc, 0, y, bm.bmWidth, bm.bmHeight, memory, 0, 0, SRCCOPY);
            SelectObject(memory, old);
            DeleteDC(memory);
        }
        EndPaint(window, &ps);
        return 0;
    }
    static LRESULT button_up(BitmapLink& link, HWND window, UINT, WPARAM, LPARAM)
    {
        ShellExecuteW(GetParent(window), L"open", link.address_.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return 0;
    }
    static constexpr MessageMap<BitmapLink>::Pair pairs[] = {{WM_PAINT, paint}, {WM_LBUTTONUP, button_up}};
};
const MessageMap<BitmapLink> BitmapLink::message_map{LinkHandlers::pairs, DefaultProc::window};

bool BitmapLink::create(HWND parent, DWORD style, int id, int x, int y, int width, int height, int bitmap,
                        const wchar_t* address)
{
    if (!register_simple(L"WebBitmapClass", CS_HREDRAW | CS_VREDRAW, IDC_HAND)) return false;
    address_ = address ? address : L"";
    bitmap_ = LoadBitmapW(resource_module(), MAKEINTRESOURCEW(bitmap));
    return create_window(0, L"WebBitmapClass", L"", style | WS_CHILD, x, y, width, height, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id))) != nullptr;
}

void BitmapLink::destroy()
{
    if (bitmap_) DeleteObject(bitmap_);
    bitmap_ = nullptr;
    if (window()) DestroyWindow(window());
}

// ---- splash ---------------------------------------------------------------------------------

void Splash::start(int bitmap)
{
    HBITMAP picture = LoadBitmapW(resource_module(), MAKEINTRESOURCEW(bitmap));
    if (!picture) return;
    BITMAP bm{};
    GetObjectW(picture, sizeof bm, &bm);
    window_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE | SS_BITMAP,
                              (GetSystemMetrics(SM_CXSCREEN) - bm.bmWidth) / 2,
                              (GetSystemMetrics(SM_CYSCREEN) - bm.bmHeight) / 2, bm.bmWidth, bm.bmHeight, nullptr,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window_) {
        SendMessageW(window_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
        UpdateWindow(window_);
    }
    start_ = static_cast<long long>(std::time(nullptr));
}

void Splash::close()
{
    if (!window_) return;
    const long long elapsed = static_cast<long long>(std::time(nullptr)) - start_;
    if (elapsed < 2) Sleep(static_cast<DWORD>(2000 - 1000 * elapsed));
    HBITMAP picture = reinterpret_cast<HBITMAP>(SendMessageW(window_, STM_GETIMAGE, IMAGE_BITMAP, 0));
    DestroyWindow(window_);
    window_ = nullptr;
    if (picture) DeleteObject(picture);
}

// ---- home screen ----------------------------------------------------------------------------

struct HomeHandlers {
    static void open_index(HomeScreen& home, int index)
    {
        if (index < 0 || !g_application) return;
        const LRESULT length = SendMessageW(home.list_, LB_GETTEXTLEN, index, 0);
        if (length == LB_ERR) return;
        std::wstring name(static_cast<size_t>(length) + 1, L'\0');
        SendMessageW(home.list_, LB_GETTEXT, index, reinterpret_cast<LPARAM>(name.data()));
        name.resize(static_cast<size_t>(length));
        g_application->open_photo(home.folder_ + name);
    }
    static LRESULT open_item(HomeScreen& home, HWND, UINT, WPARAM, LPARAM l)
    {
        open_index(home, static_cast<int>(l));
        return 0;
    }
    static LRESULT command(HomeScreen& home, HWND, UINT, WPARAM w, LPARAM)
    {
        if (LOWORD(w) == 1001 && (HIWORD(w) == LBN_SELCHANGE || HIWORD(w) == LBN_DBLCLK))
            open_index(home, static_cast<int>(SendMessageW(home.list_, LB_GETCURSEL, 0, 0)));
        return 0;
    }
    static LRESULT nothing(HomeScreen&, HWND, UINT, WPARAM, LPARAM) { return 0; }
    static constexpr MessageMap<HomeScreen>::Pair pairs[] = {
        {WM_USER + 1001, open_item}, {WM_COMMAND, command}, {WM_CLOSE, nothing}, {WM_SIZE, nothing}};
};
const MessageMap<HomeScreen> HomeScreen::message_map{HomeHandlers::pairs, DefaultProc::window};

HomeScreen* HomeScreen::create(HWND parent)
{
    WNDCLASSW wc{};
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"DlgFileClass";
    if (!register_class(wc)) return nullptr;
    auto* home = new HomeScreen;
    if (!home->create_window(0, L"DlgFileClass", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 100, 100,
                             parent, nullptr)) {
        delete home;
        return nullptr;
    }
    home->list_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                                  WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY, 250, 0, 100, 100,
                                  home->window(), reinterpret_cast<HMENU>(1001), GetModuleHandleW(nullptr), nullptr);
    wchar_t folder[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_MYPICTURES, nullptr, 0, folder))) {
        home->folder_ = std::wstring(folder) + L"\\";
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((home->folder_ + L"*.*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    SendMessageW(home->list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(found.cFileName));
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
    }
    return home;
}

void HomeScreen::place(const RECT& area)
{
    MoveWindow(window(), area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
    MoveWindow(list_, 250, 0, area.right - area.left - 250, area.bottom - area.top, TRUE);
}

// The window is gone after this; so is the object.
void HomeScreen::destroy()
{
    if (window()) DestroyWindow(window());
    delete this;
}
