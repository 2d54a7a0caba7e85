// Starts Lumeva.exe, finds its main window, checks its title and its French strings, and closes
// it through the quit question, as a user would.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "app/product.h"
#include "resources/resource.h"

namespace {

int failures = 0;

void check(bool ok, const char* what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    if (!ok) ++failures;
}

template <typename F>
bool wait_for(F&& condition, DWORD timeout_ms)
{
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeout_ms) return false;
        Sleep(50);
    }
    return true;
}

std::wstring window_text(HWND w)
{
    wchar_t buf[512] = {};
    GetWindowTextW(w, buf, 512);
    return buf;
}

struct DialogSearch {
    DWORD thread;
    HWND found;
};

BOOL CALLBACK find_dialog(HWND w, LPARAM lp)
{
    auto* s = reinterpret_cast<DialogSearch*>(lp);
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    if (std::wcscmp(cls, L"#32770") == 0 && IsWindowVisible(w)) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

// The string table, read from the executable itself: accents must have survived the resource
// compiler as UTF-16.
void check_strings(const wchar_t* exe)
{
    HMODULE m = LoadLibraryExW(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    check(m != nullptr, "the executable loads as a resource module");
    if (!m) return;
    struct Expected { UINT id; const wchar_t* text; } expected[] = {
        {IDS_QUIT, L"Quitter"},
        {IDS_ZOOM, L"Zoom"},
        {IDS_BACK, L"Retour \u00e0 l'accueil"},
        {IDS_STATUS, L"Cliquez sur l'image pour la retoucher."},
        {IDS_STATUS_CROP, L"Cliquez dans la s\u00e9lection pour valider votre choix."},
        {IDS_STATUS_REDEYES, L"S\u00e9lectionnez la zone des yeux \u00e0 l'aide de la souris, puis relachez pour valider votre choix. "},
        {IDS_SAVEQUESTION, L"Votre image n'est pas sauv\u00e9 et sera perdue, voulez-vous continuer?"},
        {IDS_SAVE_WARNING, L"Voulez-vous vraiment \u00e9craser le fichier?"},
        {IDS_SAVE_PROBLEM, L"Un probl\u00e8me est survenue lors de la sauvegarde du fichier <%s>. "},
        {IDS_STATUS_TEXT, L"Lorsque votre texte est positionn\u00e9, cliquez sur le bouton de la souris, ou ESCAPE pour arr\u00eater. "},
        {IDS_ZOOMOUT, L"R\u00e9duction"},
        {IDS_FIT, L"R\u00e9duction maximum"},
        {IDS_INFO_RED, L"Insuffisant"},
    };
    for (const Expected& e : expected) {
        wchar_t buf[256] = {};
        LoadStringW(m, e.id, buf, 256);
        char what[64];
        std::snprintf(what, sizeof what, "string %u reads as written", e.id);
        check(std::wcscmp(buf, e.text) == 0, what);
    }
    int present = 0;
    for (UINT id = 1; id <= 27; ++id) {
        wchar_t buf[256] = {};
        present += LoadStringW(m, id, buf, 256) > 0;
    }
    check(present == 27, "strings 1 to 27 are all present");
    check(LoadImageW(m, MAKEINTRESOURCEW(IDI_LUMEVA), IMAGE_ICON, 32, 32, 0) != nullptr, "icon 117 is present");
    FreeLibrary(m);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const wchar_t* exe = argc > 1 ? argv[1] : L"Lumeva.exe";
    check_strings(exe);

    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring command = std::wstring(L"\"") + exe + L"\"";
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        check(false, "Lumeva.exe starts");
        return 1;
    }
    HWND main_window = nullptr;
    check(wait_for([&] { return (main_window = FindWindowW(LUMEVA_MAIN_CLASS, nullptr)) != nullptr; }, 30000),
          "a DorvexClass window appears");
    if (main_window) {
        check(window_text(main_window) == LUMEVA_MAIN_TITLE, "the title is the product name, address and version");
        DWORD pid = 0;
        const DWORD thread = GetWindowThreadProcessId(main_window, &pid);
        check(pid == pi.dwProcessId, "the window belongs to the started process");
        check((GetWindowLongW(main_window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, "the main window stays on top");
        check((GetWindowLongW(main_window, GWL_STYLE) & WS_MAXIMIZEBOX) == 0, "the main window has no maximise box");

        // Closing asks first; Cancel keeps the program, OK ends it.
        DialogSearch search{thread, nullptr};
        PostMessageW(main_window, WM_CLOSE, 0, 0);
        check(wait_for([&] { search.found = nullptr; EnumThreadWindows(thread, find_dialog, reinterpret_cast<LPARAM>(&search)); return search.found != nullptr; }, 10000),
              "closing asks a question");
        if (search.found) {
            wchar_t text[256] = {};
            GetDlgItemTextW(search.found, 0xFFFF, text, 256);
            check(std::wcscmp(text, L"Voulez-vous vraiment quitter?") == 0, "the question is the close warning");
            check(window_text(search.found).empty(), "the question has an empty title");
            PostMessageW(search.found, WM_COMMAND, IDCANCEL, 0);
            Sleep(300);
            check(IsWindow(main_window) != FALSE, "Cancel keeps the program open");
            search.found = nullptr;
            PostMessageW(main_window, WM_CLOSE, 0, 0);
            wait_for([&] { search.found = nullptr; EnumThreadWindows(thread, find_dialog, reinterpret_cast<LPARAM>(&search)); return search.found != nullptr; }, 10000);
            if (search.found) PostMessageW(search.found, WM_COMMAND, IDOK, 0);
        }
    }
    const bool ended = WaitForSingleObject(pi.hProcess, 15000) == WAIT_OBJECT_0;
    check(ended, "OK ends the program");
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    if (ended) check(code == 1, "the program ends with the quit message's code 1");
    else TerminateProcess(pi.hProcess, 2);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
