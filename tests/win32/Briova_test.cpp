// The real Lumeva.exe driven as a user drives it, each run on a virtual desktop of a chosen size:
// the main window and its toolbar, the layout, opening a photo from the home screen and coming
// back, a photo that does not open, the quit questions and the exit code, and the language.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/Briova.h"
#include "app/product.h"
#include "core/format.h"
#include "core/save.h"
#include "resources/resource.h"

namespace {

std::wstring folder_of_this_program()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s = path;
    return s.substr(0, s.find_last_of(L'\\') + 1);
}

bool wait_for(const std::function<bool()>& condition, DWORD timeout_ms = 20000)
{
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeout_ms) return false;
        Sleep(30);
    }
    return true;
}

std::wstring class_of(HWND w)
{
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    return name;
}

std::wstring text_of(HWND w)
{
    wchar_t text[512] = {};
    GetWindowTextW(w, text, 512);
    return text;
}

// Whether a window and its parents are all visible. IsWindowVisible stops at the caller's own
// desktop and so says no for windows of another one.
bool shown(HWND w)
{
    if (!w) return false;
    for (; w; w = GetParent(w))
        if (!(GetWindowLongW(w, GWL_STYLE) & WS_VISIBLE)) return false;
    return true;
}

RECT client_rect_in(HWND child)
{
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The user's pictures folder, pointed at a folder of the test's own while a session runs.
class PicturesFolder {
public:
    explicit PicturesFolder(const std::wstring& folder)
    {
        RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        DWORD size = sizeof old_;
        DWORD type = 0;
        had_ = RegQueryValueExW(key_, L"My Pictures", nullptr, &type, reinterpret_cast<BYTE*>(old_), &size) ==
               ERROR_SUCCESS;
        old_type_ = type;
        RegSetValueExW(key_, L"My Pictures", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                       static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    }
    ~PicturesFolder()
    {
        if (had_)
            RegSetValueExW(key_, L"My Pictures", 0, old_type_, reinterpret_cast<const BYTE*>(old_),
                           static_cast<DWORD>((wcslen(old_) + 1) * sizeof(wchar_t)));
        else
            RegDeleteValueW(key_, L"My Pictures");
        RegCloseKey(key_);
    }

private:
    static constexpr const wchar_t* kKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    HKEY key_ = nullptr;
    wchar_t old_[MAX_PATH] = {};
    DWORD old_type_ = REG_SZ;
    bool had_ = false;
};

// One run of Lumeva.exe on a desktop of its own, width x height pixels.
class Session {
public:
    Session(int width, int height)
    {
        static int counter = 0;
        desktop_name_ = L"LumevaTest" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++counter);
        std::wstring command = L"explorer.exe /desktop=" + desktop_name_ + L"," + std::to_wstring(width) + L"x" +
                               std::to_wstring(height) + L" \"" + folder_of_this_program() + L"Lumeva.exe\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &explorer_))
            return;
        wait_for([&] {
            if (!desktop_) desktop_ = OpenDesktopW(desktop_name_.c_str(), 0, FALSE, GENERIC_ALL);
            if (desktop_) EnumDesktopWindows(desktop_, find_main, reinterpret_cast<LPARAM>(this));
            return main != nullptr && shown(main);
        });
        if (!main) return;
        thread = GetWindowThreadProcessId(main, &pid);
        process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION | PROCESS_VM_READ |
                                  PROCESS_VM_WRITE | PROCESS_TERMINATE,
                              FALSE, pid);
        toolbar = FindWindowExW(main, nullptr, L"ToolbarWindow32", nullptr);
        home = FindWindowExW(main, nullptr, L"DlgFileClass", nullptr);
        view = FindWindowExW(main, nullptr, L"CBmp", nullptr);
        status = FindWindowExW(main, nullptr, L"StatusTextClass", nullptr);
        for (HWND w = FindWindowExW(toolbar, nullptr, L"WebBitmapClass", nullptr); w;
             w = FindWindowExW(toolbar, w, L"WebBitmapClass", nullptr))
            (GetDlgCtrlID(w) == 2001 ? product : maker) = w;
        info = FindWindowExW(toolbar, nullptr, L"InfoClass", nullptr);
    }

    ~Session()
    {
        if (process) {
            if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) TerminateProcess(process, 3);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
        if (explorer_.hProcess) {
            // The desktop's own process ends once its last window has gone.
            if (WaitForSingleObject(explorer_.hProcess, 5000) == WAIT_TIMEOUT) TerminateProcess(explorer_.hProcess, 0);
            CloseHandle(explorer_.hProcess);
            CloseHandle(explorer_.hThread);
        }
        if (desktop_) CloseDesktop(desktop_);
    }

    bool started() const { return main != nullptr && process != nullptr; }

    bool button_hidden(int command) const
    {
        return SendMessageW(toolbar, TB_ISBUTTONHIDDEN, command, 0) != 0;
    }

    // A toolbar button's caption, read through a buffer in the program's memory.
    std::wstring caption(int command) const
    {
        void* remote = VirtualAllocEx(process, nullptr, 1024, MEM_COMMIT, PAGE_READWRITE);
        if (!remote) return L"?";
        const LRESULT n = SendMessageW(toolbar, TB_GETBUTTONTEXTW, command, reinterpret_cast<LPARAM>(remote));
        wchar_t text[512] = {};
        if (n > 0 && n < 511) ReadProcessMemory(process, remote, text, static_cast<SIZE_T>(n) * sizeof(wchar_t), nullptr);
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
        return text;
    }

    // The message box the program shows, or null. Looked for on the program's desktop: the
    // thread-window walk sees only the caller's own desktop.
    HWND message_box() const
    {
        struct Search {
            DWORD thread;
            HWND found;
        } search{thread, nullptr};
        EnumDesktopWindows(
            desktop_,
            [](HWND w, LPARAM lp) -> BOOL {
                auto* s = reinterpret_cast<Search*>(lp);
                if (class_of(w) == L"#32770" && shown(w) && GetWindowThreadProcessId(w, nullptr) == s->thread) {
                    s->found = w;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    // Waits for a message box, notes its text and answers it with `button`.
    std::wstring answer(int button)
    {
        HWND box = nullptr;
        if (!wait_for([&] { return (box = message_box()) != nullptr; }, 10000)) return L"(no question)";
        wchar_t text[512] = {};
        GetDlgItemTextW(box, 0xFFFF, text, 512);
        last_box_title = text_of(box);
        PostMessageW(box, WM_COMMAND, button, 0);
        wait_for([&] { return !IsWindow(box); }, 10000);
        return text;
    }

    bool ended(DWORD timeout_ms = 15000) const { return WaitForSingleObject(process, timeout_ms) == WAIT_OBJECT_0; }
    DWORD exit_code() const
    {
        DWORD code = 0;
        GetExitCodeProcess(process, &code);
        return code;
    }

    HWND main = nullptr, toolbar = nullptr, home = nullptr, view = nullptr, status = nullptr;
    HWND product = nullptr, maker = nullptr, info = nullptr;
    HANDLE process = nullptr;
    DWORD pid = 0, thread = 0;
    std::wstring last_box_title;

private:
    static BOOL CALLBACK find_main(HWND w, LPARAM lp)
    {
        auto* s = reinterpret_cast<Session*>(lp);
        if (class_of(w) == LUMEVA_MAIN_CLASS) {
            s->main = w;
            return FALSE;
        }
        return TRUE;
    }

    std::wstring desktop_name_;
    HDESK desktop_ = nullptr;
    PROCESS_INFORMATION explorer_{};
};

// A folder of the test's own, holding a photo and a file that only looks like one.
class TestFolder {
public:
    TestFolder()
    {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        path = std::wstring(temp) + L"lumeva-app-test-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(path.c_str(), nullptr);
    }
    ~TestFolder()
    {
        for (const std::wstring& f : files) DeleteFileW((path + f).c_str());
        RemoveDirectoryW(path.c_str());
    }
    void add_photo(const std::wstring& name, int width, int height)
    {
        library_init();
        Picture p{};
        ASSERT_EQ(picture_alloc(&p, PIXEL_RGB, 4, width, height), 1);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width * 3; ++x) p.data[y * p.bytes_per_line + x] = static_cast<uint8_t>(x + y);
        SaveParams params;
        save_params_init(&params);
        params.format_index = static_cast<int16_t>(format_find_by_name("jpeg"));
        params.quality = 90;
        char narrow[MAX_PATH] = {};
        WideCharToMultiByte(CP_ACP, 0, (path + name).c_str(), -1, narrow, MAX_PATH, nullptr, nullptr);
        EXPECT_EQ(save_picture(narrow, &p, &params), STATUS_OK);
        picture_free(&p);
        library_exit();
        files.push_back(name);
    }
    void add_bytes(const std::wstring& name, const std::string& bytes)
    {
        HANDLE f = CreateFileW((path + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(f);
        files.push_back(name);
    }
    std::wstring path;
    std::vector<std::wstring> files;
};

// "lumeva.ini" beside the program while a test runs.
class Settings {
public:
    explicit Settings(const std::string& text)
    {
        path_ = folder_of_this_program() + L"lumeva.ini";
        HANDLE f = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(f);
    }
    ~Settings() { DeleteFileW(path_.c_str()); }

private:
    std::wstring path_;
};

const int kEditingCommands[11] = {40002, 40003, 40004, 1001, 1002, 1003, 40024, 40023, 1004, 1005, 1006};

}  // namespace

TEST(Application, HomeScreenToolbarAndLayoutOnA1024By768Screen)
{
    TestFolder folder;
    PicturesFolder pictures(folder.path);
    Session s(1024, 768);
    ASSERT_TRUE(s.started());
    EXPECT_EQ(text_of(s.main), LUMEVA_MAIN_TITLE);
    EXPECT_TRUE(IsZoomed(s.main));

    ASSERT_NE(s.toolbar, nullptr);
    EXPECT_EQ(SendMessageW(s.toolbar, TB_BUTTONCOUNT, 0, 0), 13);
    for (int c : kEditingCommands) EXPECT_TRUE(s.button_hidden(c)) << c;
    EXPECT_FALSE(s.button_hidden(1007));
    EXPECT_FALSE(s.button_hidden(40001));
    EXPECT_EQ(s.caption(1007), L"A propos");
    EXPECT_EQ(s.caption(40001), L"Quitter");
    EXPECT_EQ(s.caption(1006), L"Retour \u00e0 l'accueil");
    EXPECT_EQ(s.caption(40004), L"R\u00e9duction maximum");
    EXPECT_EQ(LOWORD(SendMessageW(s.toolbar, TB_GETBUTTONSIZE, 0, 0)), 138);

    RECT client;
    GetClientRect(s.main, &client);
    const RECT status = client_rect_in(s.status);
    EXPECT_EQ(status.left, 140);
    EXPECT_EQ(status.bottom - status.top, 64);
    EXPECT_EQ(status.bottom, client.bottom);
    EXPECT_EQ(status.right, client.right);
    const RECT toolbar = client_rect_in(s.toolbar);
    EXPECT_EQ(toolbar.right - toolbar.left, 140);
    EXPECT_EQ(toolbar.bottom - toolbar.top, client.bottom);
    ASSERT_NE(s.product, nullptr);
    ASSERT_NE(s.maker, nullptr);
    EXPECT_TRUE(shown(s.maker));
    const RECT maker = client_rect_in(s.maker);
    const RECT product = client_rect_in(s.product);
    EXPECT_EQ(maker.bottom - maker.top, 46);
    EXPECT_EQ(maker.bottom, client.bottom);
    EXPECT_EQ(product.bottom - product.top, 124);
    EXPECT_EQ(product.bottom, maker.top);
    EXPECT_EQ(product.right - product.left, 138);
    const RECT home = client_rect_in(s.home);
    EXPECT_EQ(home.left, 140);
    EXPECT_EQ(home.top, 0);
    EXPECT_EQ(home.bottom, status.top);
    EXPECT_TRUE(shown(s.home));
    EXPECT_FALSE(shown(s.view));
    EXPECT_FALSE(shown(s.info));

    // Quitting from the home screen asks once; Cancel keeps the program.
    PostMessageW(s.main, WM_CLOSE, 0, 0);
    EXPECT_EQ(s.answer(IDCANCEL), L"Voulez-vous vraiment quitter?");
    EXPECT_EQ(s.last_box_title, L"");
    EXPECT_FALSE(s.ended(300));
    // The "Quitter" button asks the same; OK ends the program with code 1.
    PostMessageW(s.main, WM_COMMAND, 40001, 0);
    EXPECT_EQ(s.answer(IDOK), L"Voulez-vous vraiment quitter?");
    ASSERT_TRUE(s.ended());
    EXPECT_EQ(s.exit_code(), 1u);
}

TEST(Application, A600PixelScreenHidesTheMakerLink)
{
    TestFolder folder;
    PicturesFolder pictures(folder.path);
    Session s(800, 600);
    ASSERT_TRUE(s.started());
    RECT client;
    GetClientRect(s.main, &client);
    const RECT status = client_rect_in(s.status);
    EXPECT_EQ(status.bottom - status.top, 32);
    EXPECT_FALSE(shown(s.maker));
    // The maximised size reaches the layout a moment after the window shows.
    RECT product = client_rect_in(s.product);
    wait_for([&] {
        GetClientRect(s.main, &client);
        product = client_rect_in(s.product);
        return product.bottom == client.bottom;
    }, 5000);
    EXPECT_EQ(product.bottom - product.top, 46);
    EXPECT_EQ(product.bottom, client.bottom);
    PostMessageW(s.main, WM_CLOSE, 0, 0);
    s.answer(IDOK);
    EXPECT_TRUE(s.ended());
}

TEST(Application, OpensAPhotoFromTheHomeScreenAndComesBack)
{
    TestFolder folder;
    folder.add_photo(L"photo.jpg", 640, 480);
    folder.add_bytes(L"broken.jpg", std::string("\xFF\xD8\xFF\xE0 not really a photo", 24));
    PicturesFolder pictures(folder.path);
    Session s(1280, 1024);
    ASSERT_TRUE(s.started());
    const RECT product = client_rect_in(s.product);
    EXPECT_EQ(product.bottom - product.top, 310);

    // The two files stand in the list in the folder's order; one of them opens.
    auto editing = [&] { return shown(s.view) && !shown(s.home); };
    auto at_home = [&] {
        bool hidden = true;
        for (int c : kEditingCommands) hidden = hidden && s.button_hidden(c);
        return shown(s.home) && !shown(s.view) && hidden && !shown(s.info);
    };
    ASSERT_TRUE(at_home());
    int opened = -1;
    for (int index = 0; index < 2; ++index) {
        SendMessageW(s.home, WM_USER + 1001, 0, index);
        if (editing()) {
            EXPECT_EQ(opened, -1);
            opened = index;
            for (int c : kEditingCommands) EXPECT_FALSE(s.button_hidden(c)) << c;
            EXPECT_FALSE(s.button_hidden(1007));
            EXPECT_TRUE(shown(s.info));
            const RECT view = client_rect_in(s.view);
            EXPECT_EQ(view.left, 140);
            EXPECT_EQ(view.bottom, client_rect_in(s.status).top);
            // Back to the home screen: the photo was not changed, so nothing is asked.
            SendMessageW(s.main, WM_COMMAND, 1006, 0);
            EXPECT_EQ(s.message_box(), nullptr);
            EXPECT_TRUE(at_home());
        } else {
            // The broken file changed nothing.
            EXPECT_TRUE(at_home()) << index;
        }
    }
    EXPECT_NE(opened, -1);

    // Open again and quit from the editing screen: an unchanged photo asks only once.
    SendMessageW(s.home, WM_USER + 1001, 0, opened);
    ASSERT_TRUE(editing());
    PostMessageW(s.main, WM_CLOSE, 0, 0);
    EXPECT_EQ(s.answer(IDOK), L"Voulez-vous vraiment quitter?");
    ASSERT_TRUE(s.ended());
    EXPECT_EQ(s.exit_code(), 1u);
}

TEST(Application, LanguageFromTheSettingsFile)
{
    TestFolder folder;
    PicturesFolder pictures(folder.path);
    {
        // A language whose file is missing: French.
        Settings settings("[general]\r\nlanguage=xx\r\n");
        Session s(1024, 768);
        ASSERT_TRUE(s.started());
        EXPECT_EQ(s.caption(40001), L"Quitter");
        PostMessageW(s.main, WM_CLOSE, 0, 0);
        EXPECT_EQ(s.answer(IDOK), L"Voulez-vous vraiment quitter?");
        EXPECT_TRUE(s.ended());
    }
    {
        Settings settings("[general]\r\nlanguage=en\r\n");
        Session s(1024, 768);
        ASSERT_TRUE(s.started());
        EXPECT_EQ(s.caption(40001), L"Quit");
        EXPECT_EQ(s.caption(1007), L"About");
        EXPECT_EQ(s.caption(1006), L"Back to home");
        EXPECT_EQ(s.caption(40004), L"Fit to window");
        PostMessageW(s.main, WM_CLOSE, 0, 0);
        EXPECT_EQ(s.answer(IDCANCEL), L"Do you really want to quit?");
        PostMessageW(s.main, WM_CLOSE, 0, 0);
        s.answer(IDOK);
        EXPECT_TRUE(s.ended());
    }
}
