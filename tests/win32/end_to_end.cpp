// Works Lumeva.exe as a user would, through its windows: opens a photo from the home screen,
// crops it to "10x15" by clicking inside the frame, applies "Sépia", undoes it and applies it
// again, saves under a new name through the save dialog, goes back home and quits through both
// questions. The saved file is then checked against the same steps run on the photo document.
// With a folder as second argument, screenshots of each screen go there as PNG files.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "app/CBmp.h"
#include "app/commands.h"
#include "app/print_format.h"
#include "app/product.h"
#include "core/format.h"
#include "core/load.h"
#include "core/save.h"
#include "editing/document.h"
#include "resources/resource.h"
#include "support/files.h"
#include "win32/window_testing.h"

namespace {

int failures = 0;
std::string shots;  // screenshot folder, empty for none
HANDLE program = nullptr;

void check(bool ok, const char* what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    std::fflush(stdout);
    if (!ok) ++failures;
}

template <typename F>
bool wait_for(F&& condition, DWORD timeout_ms = 15000)
{
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeout_ms) return false;
        Sleep(30);
    }
    return true;
}

std::wstring window_text(HWND w)
{
    wchar_t buf[512] = {};
    GetWindowTextW(w, buf, 512);
    return buf;
}

struct Search {
    const wchar_t* cls;
    HWND found;
};

BOOL CALLBACK find_visible_class(HWND w, LPARAM lp)
{
    auto* s = reinterpret_cast<Search*>(lp);
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    if (std::wcscmp(cls, s->cls) == 0 && IsWindowVisible(w)) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND thread_window(DWORD thread, const wchar_t* cls)
{
    Search s{cls, nullptr};
    EnumThreadWindows(thread, find_visible_class, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND child_of_class(HWND parent, const wchar_t* cls)
{
    Search s{cls, nullptr};
    EnumChildWindows(parent, find_visible_class, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND wait_dialog(DWORD thread)
{
    HWND d = nullptr;
    wait_for([&] { return (d = thread_window(thread, L"#32770")) != nullptr; });
    return d;
}

// The screen as a PNG, through the library's own writer.
void screenshot(const char* name)
{
    if (shots.empty()) return;
    // Every window painted: the program idle, then a moment for the display server.
    if (program) WaitForInputIdle(program, 5000);
    Sleep(1000);
    const window_testing::Shot shot =
        window_testing::shoot_screen(RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
    Picture p{};
    if (shot.width < 1 || !picture_alloc(&p, PIXEL_BGR, 4, shot.width, shot.height)) return;
    for (int y = 0; y < shot.height; ++y) {
        const uint8_t* in = &shot.bits[static_cast<size_t>(y) * shot.width * 4];
        uint8_t* out = picture_line(&p, y);
        for (int x = 0; x < shot.width; ++x) std::memcpy(out + 3 * x, in + 4 * x, 3);
    }
    SaveParams sp;
    save_params_init(&sp);
    sp.format_index = static_cast<int16_t>(format_find_by_name("png"));
    const std::string path = shots + "\\" + name + ".png";
    check(save_picture(path.c_str(), &p, &sp) == STATUS_OK, (std::string("screenshot ") + name).c_str());
    picture_free(&p);
}

// Pixels of a window on screen close to a colour (0x00BBGGRR), within 40 on each component.
int count_colour(HWND window, COLORREF colour)
{
    RECT r;
    GetWindowRect(window, &r);
    const window_testing::Shot shot = window_testing::shoot_screen(r);
    int n = 0;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            const COLORREF c = shot.at(x, y);
            if (std::abs(int(GetRValue(c)) - int(GetRValue(colour))) < 40 &&
                std::abs(int(GetGValue(c)) - int(GetGValue(colour))) < 40 &&
                std::abs(int(GetBValue(c)) - int(GetBValue(colour))) < 40)
                ++n;
        }
    return n;
}

// A photo with smooth colour: a frame a few pixels off would still compare closely, an exact one
// compares byte for byte.
bool write_photo(const std::string& path)
{
    Picture p{};
    if (!picture_alloc(&p, PIXEL_RGB, 4, 1800, 1200)) return false;
    for (int y = 0; y < 1200; ++y)
        for (int x = 0; x < 1800; ++x) {
            uint8_t* px = picture_line(&p, y) + 3 * x;
            px[0] = static_cast<uint8_t>(40 + x / 9);
            px[1] = static_cast<uint8_t>(30 + y / 6);
            px[2] = static_cast<uint8_t>(200 - (x + y) / 20);
        }
    SaveParams sp;
    save_params_init(&sp);
    sp.format_index = static_cast<int16_t>(format_find_by_name("jpeg"));
    sp.quality = 90;
    const bool ok = save_picture(path.c_str(), &p, &sp) == STATUS_OK;
    picture_free(&p);
    return ok;
}

// The frame the view makes for a print format: the view's own rule on the opened picture, at the
// view's size.
bool expected_frame(const std::string& photo, HWND view, int shape, ViewRect* frame)
{
    Picture p{};
    LoadParams lp;
    load_params_init(&lp);
    if (load_picture(photo.c_str(), &p, &lp, nullptr) != STATUS_OK) return false;
    ViewState s;
    view_state_init(&s);
    view_state_set_picture(&s, &p);
    RECT client;
    GetClientRect(view, &client);
    const ViewLayoutInput in{client.right, client.bottom, GetSystemMetrics(SM_CXVSCROLL),
                             GetSystemMetrics(SM_CYHSCROLL), false, false, false};
    ViewLayout out;
    view_layout(&s, in, &out);
    view_set_frame_shape(&s, shape);
    picture_free(&p);
    *frame = s.selection;
    return view_has_selection(&s);
}

// A list-view item's index by the start of its caption, asked like the rectangle below: the
// search record and its text go into the list's process.
int remote_find_item(HWND list, const wchar_t* caption)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return -1;
    const size_t text_bytes = (std::wcslen(caption) + 1) * sizeof(wchar_t);
    char* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, sizeof(LVFINDINFOW) + text_bytes,
                                                      MEM_COMMIT, PAGE_READWRITE));
    int index = -1;
    if (remote) {
        LVFINDINFOW find{};
        find.flags = LVFI_STRING | LVFI_PARTIAL;
        find.psz = reinterpret_cast<LPCWSTR>(remote + sizeof find);
        if (WriteProcessMemory(process, remote, &find, sizeof find, nullptr) &&
            WriteProcessMemory(process, remote + sizeof find, caption, text_bytes, nullptr))
            index = static_cast<int>(SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1),
                                                  reinterpret_cast<LPARAM>(remote)));
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return index;
}

// A list-view item's icon rectangle, asked through memory of the program's own: the message
// carries a pointer, which must point into the list's process.
RECT remote_item_rect(HWND list, int index)
{
    RECT r{LVIR_ICON, 0, 0, 0};
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return r;
    void* remote = VirtualAllocEx(process, nullptr, sizeof r, MEM_COMMIT, PAGE_READWRITE);
    if (remote && WriteProcessMemory(process, remote, &r, sizeof r, nullptr)) {
        SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote));
        ReadProcessMemory(process, remote, &r, sizeof r, nullptr);
    }
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return r;
}

void command(HWND main, int id) { PostMessageW(main, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

void click_window(HWND w, int x, int y)
{
    PostMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring exe = argc > 1 ? argv[1] : L"Lumeva.exe";
    if (argc > 2) {
        char folder[MAX_PATH];
        WideCharToMultiByte(CP_ACP, 0, argv[2], -1, folder, MAX_PATH, nullptr, nullptr);
        shots = folder;
        CreateDirectoryA(shots.c_str(), nullptr);
    }
    library_init();

    char pictures[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_MYPICTURES, nullptr, 0, pictures);
    const std::string photo = std::string(pictures) + "\\lumeva_e2e_photo.jpg";
    const std::string saved = std::string(pictures) + "\\lumeva_e2e_saved.jpg";
    DeleteFileA(saved.c_str());
    check(write_photo(photo), "a test photo in the Pictures folder");

    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring line = L"\"" + exe + L"\"";
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        check(false, "Lumeva.exe starts");
        return 1;
    }
    program = pi.hProcess;
    HWND main = nullptr;
    check(wait_for([&] { return (main = FindWindowW(LUMEVA_MAIN_CLASS, nullptr)) != nullptr && IsWindowVisible(main); }, 30000),
          "the main window appears");
    if (!main) {
        TerminateProcess(pi.hProcess, 2);
        return 1;
    }
    DWORD pid = 0;
    const DWORD thread = GetWindowThreadProcessId(main, &pid);
    HWND home = nullptr;
    wait_for([&] { return (home = child_of_class(main, L"DlgFileClass")) != nullptr; });
    check(home != nullptr, "the home screen shows");
    screenshot("1-home");

    // Open the photo: a click on its thumbnail (the list view) or on its name.
    HWND view = nullptr;
    if (HWND list = child_of_class(home, L"SysListView32")) {
        // The Pictures folder may hold other pictures: the test photo's thumbnail by its name.
        int item = -1;
        wait_for([&] { return (item = remote_find_item(list, L"lumeva_e2e_photo")) >= 0; });
        SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), FALSE);
        const RECT r = remote_item_rect(list, item);
        const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        // The list follows the mouse until the button goes up: that message waits in the queue.
        PostMessageW(list, WM_LBUTTONUP, 0, at);
        SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    } else if (HWND names = child_of_class(home, L"ListBox")) {
        const LRESULT item = SendMessageW(names, LB_FINDSTRING, static_cast<WPARAM>(-1),
                                          reinterpret_cast<LPARAM>(L"lumeva_e2e_photo"));
        SendMessageW(names, LB_SETCURSEL, item, 0);
        PostMessageW(home, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(names), LBN_SELCHANGE), reinterpret_cast<LPARAM>(names));
    }
    check(wait_for([&] { return (view = child_of_class(main, L"CBmp")) != nullptr; }), "a click opens the photo");
    if (!view) {
        TerminateProcess(pi.hProcess, 2);
        return 1;
    }
    HWND info = child_of_class(main, L"InfoClass");
    if (info)
        check(wait_for([&] { return count_colour(info, 0x00FF00) > 20; }, 5000),
              "the lamp is green (Optimal) for 1800 x 1200 at 10x15");

    // The crop menu beside its button, then "10x15" chosen in it with the keyboard.
    command(main, CMD_CROP_MENU);
    HWND menu = nullptr;
    check(wait_for([&] { return (menu = thread_window(thread, L"#32768")) != nullptr; }, 5000),
          "the crop menu opens");
    screenshot("3-crop-menu");
    if (menu) {
        for (WPARAM key : {VK_DOWN, VK_DOWN, VK_RETURN}) {
            PostMessageW(menu, WM_KEYDOWN, key, 0);
            PostMessageW(menu, WM_KEYUP, key, 0xC0000000);
        }
        check(wait_for([&] { return thread_window(thread, L"#32768") == nullptr; }, 5000), "the menu closes on Enter");
    }
    ViewRect frame{};
    const bool framed = expected_frame(photo, view, print_format_shape(1, false), &frame);
    check(framed, "10x15 makes a frame");
    // 430 x 289 pixels at 72 dpi: too small for a 10x15 print, the frame is drawn red (the photo
    // itself has no red).
    check(wait_for([&] { return count_colour(view, 0x0000FF) > 200; }, 5000), "the frame is red (Insuffisant)");
    if (info) check(wait_for([&] { return count_colour(info, 0x0000FF) > 20; }, 5000), "the lamp turns red");
    screenshot("2-editing-10x15");

    // Open the retouch menu for its screenshot.
    command(main, CMD_RETOUCH_MENU);
    if (wait_for([&] { return (menu = thread_window(thread, L"#32768")) != nullptr; }, 5000)) {
        screenshot("4-retouch-menu");
        PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        check(wait_for([&] { return thread_window(thread, L"#32768") == nullptr; }, 5000), "Escape closes the menu");
    }

    // A click inside the frame crops.
    RECT client;
    GetClientRect(view, &client);
    click_window(view, client.right / 2, client.bottom / 2);
    check(wait_for([&] { return count_colour(view, 0x0000FF) < 20; }, 5000), "the frame goes with the crop");

    // The two dialogs, opened for their screenshots and cancelled.
    command(main, IDM_BALANCE);
    if (HWND d = wait_dialog(thread)) {
        check(window_text(d) == L"Ajuster les couleurs", "the adjust dialog opens");
        screenshot("5-adjust");
        PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
        wait_for([&] { return !IsWindow(d); });
    }
    command(main, IDM_ADDTEXT);
    if (HWND d = wait_dialog(thread)) {
        check(window_text(d) == L"Ajouter un texte", "the add-text dialog opens");
        SetDlgItemTextW(d, IDC_TEXT, L"Lumeva");
        screenshot("6-add-text");
        PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
        wait_for([&] { return !IsWindow(d); });
    }

    command(main, IDM_SEPIA);
    command(main, IDM_UNDOLAST);
    command(main, IDM_SEPIA);
    // The commands wait in the queue in order: the save below comes after them.

    // Save under a new name, typed without its extension.
    command(main, IDM_SAVEASFILE);
    HWND save = wait_dialog(thread);
    check(save != nullptr && window_text(save) == L"Sauver sous...", "the save dialog opens with its title");
    if (save) {
        const std::string typed = saved.substr(0, saved.size() - 4);
        const std::wstring wtyped(typed.begin(), typed.end());
        // The name box is an edit (0x480) or a combo box (0x47C) depending on the dialog's style.
        HWND name = GetDlgItem(save, 0x480);
        if (!name) name = GetDlgItem(save, 0x47C);
        SetWindowTextW(name, wtyped.c_str());
        PostMessageW(save, WM_COMMAND, IDOK, 0);
        wait_for([&] { return !IsWindow(save); });
    }
    check(wait_for([&] { return GetFileAttributesA(saved.c_str()) != INVALID_FILE_ATTRIBUTES; }), "the photo is saved with .jpg added");

    // Back home: nothing unsaved, so no question; then quit through the close question.
    command(main, CMD_BACK);
    check(wait_for([&] { return child_of_class(main, L"CBmp") == nullptr; }), "back to the home screen");
    command(main, IDM_QUIT);
    if (HWND q = wait_dialog(thread)) {
        wchar_t t[256] = {};
        GetDlgItemTextW(q, 0xFFFF, t, 256);
        check(std::wcscmp(t, L"Voulez-vous vraiment quitter?") == 0, "quitting asks first");
        PostMessageW(q, WM_COMMAND, IDOK, 0);
    }
    const bool ended = WaitForSingleObject(pi.hProcess, 15000) == WAIT_OBJECT_0;
    check(ended, "the program ends");
    if (!ended) TerminateProcess(pi.hProcess, 2);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);

    // The same steps on the photo document give the same file.
    PhotoDocument doc;
    document_set_undo(&doc, true);
    if (framed && document_open(&doc, photo.c_str()) == STATUS_OK) {
        document_crop(&doc, frame.left, frame.top, frame.right, frame.bottom);
        document_sepia(&doc);
        const std::string expected = std::string(pictures) + "\\lumeva_e2e_expected.jpg";
        document_save(&doc, expected.c_str(), 80);
        Picture got{};
        LoadParams lp;
        load_params_init(&lp);
        const bool loaded = load_picture(saved.c_str(), &got, &lp, nullptr) == STATUS_OK;
        check(loaded && got.width == frame.right - frame.left && got.height == frame.bottom - frame.top,
              "the saved photo has the frame's size");
        check(read_file(saved) == read_file(expected), "the saved photo is the cropped sepia photo");
        picture_free(&got);
        DeleteFileA(expected.c_str());
    }
    document_release_all(&doc);
    DeleteFileA(saved.c_str());
    DeleteFileA(photo.c_str());
    library_exit();
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
