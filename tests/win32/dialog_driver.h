// Drives a modal dialog from a second thread while the test thread runs it: the driver waits for
// the dialog to appear, works it through messages and closes it.
#pragma once

#include <windows.h>

#include <cstdio>
#include <functional>
#include <thread>

struct DialogFind {
    HWND found;
};

inline BOOL CALLBACK find_dialog_of_thread(HWND window, LPARAM lp)
{
    wchar_t cls[16] = {};
    GetClassNameW(window, cls, 16);
    if (lstrcmpW(cls, L"#32770") == 0 && IsWindowVisible(window)) {
        reinterpret_cast<DialogFind*>(lp)->found = window;
        return FALSE;
    }
    return TRUE;
}

// Waits (up to 20 s) for a visible dialog of `thread`; null when none came.
inline HWND wait_for_dialog(DWORD thread, HWND other_than = nullptr)
{
    for (int i = 0; i < 2000; ++i) {
        DialogFind f{nullptr};
        EnumThreadWindows(thread, find_dialog_of_thread, reinterpret_cast<LPARAM>(&f));
        if (f.found && f.found != other_than) return f.found;
        Sleep(10);
    }
    EnumThreadWindows(thread, [](HWND w, LPARAM) -> BOOL {
        wchar_t cls[64] = {}, title[64] = {};
        GetClassNameW(w, cls, 64);
        GetWindowTextW(w, title, 64);
        std::printf("thread window %ls '%ls' visible %d\n", cls, title, IsWindowVisible(w));
        return TRUE;
    }, 0);
    return nullptr;
}

// Runs `run` (which shows a modal dialog) on this thread while `drive` works the dialog from
// another. `drive` gets the dialog window, or null when it never appeared.
template <typename Run>
auto with_driver(Run&& run, std::function<void(HWND)> drive)
{
    const DWORD me = GetCurrentThreadId();
    std::thread driver([me, drive] {
        HWND dialog = wait_for_dialog(me);
        drive(dialog);
        // A window the driver did not expect (a question, a warning) would hold the test for
        // ever: after a grace period every dialog left is cancelled, and the test's checks fail.
        for (int i = 0; i < 1000; ++i) {
            DialogFind f{nullptr};
            EnumThreadWindows(me, find_dialog_of_thread, reinterpret_cast<LPARAM>(&f));
            if (!f.found) break;
            if (i >= 500) PostMessageW(f.found, WM_COMMAND, IDCANCEL, 0);
            Sleep(20);
        }
    });
    auto result = run();
    driver.join();
    return result;
}

inline void click(HWND dialog, int id)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

inline std::wstring item_text(HWND dialog, int id)
{
    wchar_t buf[256] = {};
    GetDlgItemTextW(dialog, id, buf, 256);
    return buf;
}
