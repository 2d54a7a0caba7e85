// The home screen in a host window: the folder tree reaching a test folder, the list holding its
// files, the worker's thumbnails and messages, stops in mid-folder, clicks asking a stand-in
// application to open photos, the report view's texts, and a large folder filling while the
// window keeps answering.
#include <gtest/gtest.h>

#include <objbase.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "app/CFileList.h"
#include "app/win32/BitmapRegister.h"
#include "app/win32/CFileList.h"
#include "app/win32/bitmap.h"
#include "core/format.h"
#include "support/thumb_folder.h"
#include "window_testing.h"

using namespace window_testing;

namespace {

// What reached the list window from the worker, in order.
struct Arrivals {
    std::vector<int> ready;  // item indexes of WM_USER+1
    int done = 0;            // WM_USER+2
    int unpublished = 0;     // WM_USER+1 for a record not yet filled
    void clear() { *this = Arrivals{}; }
};
Arrivals g_arrivals;
WNDPROC g_list_procedure = nullptr;
ThumbList* g_list = nullptr;

LRESULT CALLBACK recording_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_THUMB_READY) {
        g_arrivals.ready.push_back(static_cast<int>(lparam));
        const ThumbItem* record = g_list ? g_list->item(static_cast<int>(lparam)) : nullptr;
        if (!record || !record->published.load()) ++g_arrivals.unpublished;
    } else if (message == WM_THUMB_DONE) {
        ++g_arrivals.done;
    }
    return CallWindowProcW(g_list_procedure, window, message, wparam, lparam);
}

std::string item_text(HWND list, int index, int column)
{
    char buffer[300] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = sizeof buffer;
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return buffer;
}

std::string lower(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

class Home : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        display_tables_create();
    }
    static void TearDownTestSuite()
    {
        display_tables_destroy();
        CoUninitialize();
    }

    void SetUp() override
    {
        library_init();
        bitmaps_before = bitmap_register_count();
        host = make_host(900, 600);
        ASSERT_NE(host, nullptr);
        home = HomeScreen::create(host, [this](const char* path) {
            opened.push_back(path);
            return true;
        });
        ASSERT_NE(home, nullptr);
        home->place(RECT{0, 0, 900, 600});
        g_list = &home->list();
        g_list_procedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
            home->list().window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(recording_procedure)));
        pump_until([this] { return !home->list().worker_running(); });
        g_arrivals.clear();
    }
    void TearDown() override
    {
        if (home) {
            SetWindowLongPtrW(home->list().window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_list_procedure));
            home->destroy();
        }
        g_list = nullptr;
        DestroyWindow(host);
        pump_pending();
        // Every thumbnail bitmap went with its item.
        EXPECT_EQ(bitmap_register_count(), bitmaps_before);
        library_exit();
    }

    ThumbList& list() { return home->list(); }
    HWND list_window() { return home->list().window(); }

    void show(const std::string& folder)
    {
        shown_folder = folder;
        SendMessageW(home->window(), WM_HOME_SHOW_FOLDER, 0, reinterpret_cast<LPARAM>(shown_folder.c_str()));
    }
    bool wait_for_pass_end() { return pump_until([] { return g_arrivals.done > 0; }); }

    std::vector<int> every_index(int n)
    {
        std::vector<int> all(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) all[static_cast<size_t>(i)] = i;
        return all;
    }

    void click_item(int index)
    {
        RECT r{LVIR_ICON, 0, 0, 0};
        ASSERT_TRUE(SendMessageW(list_window(), LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r)));
        const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        // The list follows the mouse until the button goes up: that message waits in the queue.
        PostMessageW(list_window(), WM_LBUTTONUP, 0, at);
        SendMessageW(list_window(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        pump_pending();
    }

    HWND host = nullptr;
    HomeScreen* home = nullptr;
    std::vector<std::string> opened;
    std::string shown_folder;
    size_t bitmaps_before = 0;
};

TEST_F(Home, ContainerTreeAndListAreInPlace)
{
    wchar_t cls[64] = {};
    GetClassNameW(home->window(), cls, 64);
    EXPECT_STREQ(cls, L"DlgFileClass");
    EXPECT_EQ(GetParent(home->window()), host);
    EXPECT_EQ(GetDlgCtrlID(home->tree().window()), 1000);
    EXPECT_EQ(GetDlgCtrlID(list_window()), 1001);
    GetClassNameW(home->tree().window(), cls, 64);
    EXPECT_STREQ(cls, L"SysTreeView32");
    GetClassNameW(list_window(), cls, 64);
    EXPECT_STREQ(cls, L"SysListView32");
    RECT tree, list_rect;
    GetWindowRect(home->tree().window(), &tree);
    GetWindowRect(list_window(), &list_rect);
    EXPECT_EQ(tree.right - tree.left, 250);
    EXPECT_EQ(list_rect.left - tree.left, 250);
    EXPECT_EQ(list_rect.right - list_rect.left, 650);
    EXPECT_EQ(list_rect.bottom - list_rect.top, 600);
    EXPECT_EQ(list().view_type(), 0);
    EXPECT_EQ(list().filter(), -1);
}

TEST_F(Home, AtStartTheListShowsThePicturesFolder)
{
    char path[MAX_PATH] = {};
    LPITEMIDLIST pictures = nullptr;
    ASSERT_TRUE(SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_MYPICTURES, &pictures)));
    ASSERT_TRUE(SHGetPathFromIDListA(pictures, path));
    CoTaskMemFree(pictures);
    EXPECT_EQ(lower(list().folder()), lower(std::string(path) + "\\"));
    EXPECT_EQ(lower(home->tree().selected_path()), lower(std::string(path) + "\\"));
}

TEST_F(Home, TheTreeReachesAFolderByPathAndTheListShowsIt)
{
    thumb_folder::Folder folder("tree");
    ASSERT_TRUE(folder.fill_many(3));
    std::string path = folder.path();
    ASSERT_TRUE(home->tree().select_path(path.substr(0, path.size() - 1).c_str()));
    EXPECT_EQ(lower(home->tree().selected_path()), lower(path));
    EXPECT_EQ(lower(list().folder()), lower(path));
    EXPECT_EQ(list().count(), 3);
    // A path that is no folder of the tree selects nothing.
    EXPECT_FALSE(home->tree().select_path((path + "nowhere").c_str()));
    EXPECT_EQ(lower(list().folder()), lower(path));
}

TEST_F(Home, TheWorkerFillsEveryItemOfAMixedFolderInListOrder)
{
    thumb_folder::Folder folder("mixed");
    ASSERT_TRUE(folder.fill_mixed());
    show(folder.path());

    // Every file, in enumeration order, nothing else (the sub-folder is left out).
    const std::vector<std::string> names = folder.listed();
    ASSERT_EQ(list().count(), static_cast<int>(names.size()));
    for (int i = 0; i < list().count(); ++i) {
        EXPECT_EQ(item_text(list_window(), i, 0), names[static_cast<size_t>(i)]);
        EXPECT_EQ(std::string(list().item(i)->path), folder.path() + names[static_cast<size_t>(i)]);
    }

    ASSERT_TRUE(wait_for_pass_end());
    EXPECT_EQ(g_arrivals.ready, every_index(list().count()));
    EXPECT_EQ(g_arrivals.done, 1);
    EXPECT_EQ(g_arrivals.unpublished, 0);
    EXPECT_FALSE(list().worker_running());

    for (int i = 0; i < list().count(); ++i) {
        const ThumbItem* r = list().item(i);
        const std::string name = r->name;
        SCOPED_TRACE(name);
        ASSERT_TRUE(r->published.load());
        EXPECT_GE(r->icon_index, 0);
        const bool picture = name == "photo.jpg" || name == "small.jpg" || name == "portrait.jpg" || name == "cut.jpg";
        EXPECT_EQ(r->done, picture ? 1 : 0);
        EXPECT_EQ(r->bitmap != nullptr, picture);
        if (!picture) continue;
        EXPECT_LE(r->bitmap_width, 92);
        EXPECT_LE(r->bitmap_height, 64);
        if (name == "photo.jpg") {
            EXPECT_EQ(r->bitmap_height, 64);
            EXPECT_EQ(item_text(list_window(), i, 1), "400x300,16M");
            EXPECT_EQ(item_text(list_window(), i, 2), "JPEG");
        }
        if (name == "small.jpg") {
            EXPECT_EQ(r->bitmap_width, 40);
            EXPECT_EQ(r->bitmap_height, 30);
        }
        if (name == "portrait.jpg") {
            // Upright: taller than wide, red at the top left and yellow at the bottom right.
            EXPECT_LT(r->bitmap_width, r->bitmap_height);
            HDC dc = GetDC(nullptr);
            HDC memory = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(memory, static_cast<HBITMAP>(r->bitmap));
            const COLORREF top_left = GetPixel(memory, 3, 3);
            const COLORREF bottom_right = GetPixel(memory, r->bitmap_width - 4, r->bitmap_height - 4);
            SelectObject(memory, old);
            DeleteDC(memory);
            ReleaseDC(nullptr, dc);
            EXPECT_GT(GetRValue(top_left), 200);
            EXPECT_LT(GetGValue(top_left), 80);
            EXPECT_GT(GetRValue(bottom_right), 200);
            EXPECT_GT(GetGValue(bottom_right), 200);
        }
    }
}

TEST_F(Home, AStopInMidFolderLetsNothingOfTheOldFolderReachTheNewList)
{
    thumb_folder::Folder many("many");
    ASSERT_TRUE(many.fill_many(300, 600, 400));
    thumb_folder::Folder mixed("after");
    ASSERT_TRUE(mixed.fill_mixed());

    show(many.path());
    ASSERT_TRUE(pump_until([] { return g_arrivals.ready.size() >= 3; }));
    ASSERT_TRUE(list().worker_running());
    g_arrivals.clear();
    show(mixed.path());
    ASSERT_TRUE(wait_for_pass_end());
    EXPECT_EQ(g_arrivals.ready, every_index(list().count()));
    EXPECT_EQ(g_arrivals.done, 1);
    EXPECT_EQ(list().count(), static_cast<int>(mixed.listed().size()));
}

TEST_F(Home, StoppingWithTheUiThreadBusyEndsAtOnceAndLeavesNoMessage)
{
    thumb_folder::Folder many("busy");
    ASSERT_TRUE(many.fill_many(200, 600, 400));
    show(many.path());
    ASSERT_TRUE(list().worker_running());
    // This thread answers no message from here on: the worker must end without its help.
    Sleep(50);
    const DWORD before = GetTickCount();
    EXPECT_TRUE(list().worker_stop());
    EXPECT_LT(GetTickCount() - before, 3000u);
    EXPECT_FALSE(list().worker_running());
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, list_window(), WM_THUMB_READY, WM_THUMB_DONE, PM_NOREMOVE));
    // Stopping again finds no worker.
    EXPECT_FALSE(list().worker_stop());
}

TEST_F(Home, AnEmptyFolderStartsNoWorker)
{
    thumb_folder::Folder empty("empty");
    show(empty.path());
    EXPECT_EQ(list().count(), 0);
    EXPECT_FALSE(list().worker_running());
    EXPECT_FALSE(list().worker_stop());
}

TEST_F(Home, AFolderThatCannotBeListedLeavesTheListEmpty)
{
    thumb_folder::Folder folder("unlisted");
    ASSERT_TRUE(folder.fill_many(4));
    show(folder.path());
    ASSERT_EQ(list().count(), 4);
    show(folder.path() + "missing\\");
    EXPECT_EQ(list().count(), 0);
    EXPECT_FALSE(list().worker_running());
}

TEST_F(Home, ClickingAThumbnailAsksTheApplicationToOpenIt)
{
    thumb_folder::Folder folder("click");
    ASSERT_TRUE(folder.fill_many(5));
    show(folder.path());
    ASSERT_TRUE(wait_for_pass_end());

    click_item(2);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], std::string(list().item(2)->path));

    // The same thumbnail again: the selection does not change, nothing opens.
    click_item(2);
    EXPECT_EQ(opened.size(), 1u);

    // Enter and a double click open the one selected photo.
    SendMessageW(list_window(), WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1], opened[0]);
    NMHDR double_click{list_window(), 1001, static_cast<UINT>(NM_DBLCLK)};
    SendMessageW(home->window(), WM_NOTIFY, 1001, reinterpret_cast<LPARAM>(&double_click));
    ASSERT_EQ(opened.size(), 3u);

    // A click on another opens that one.
    click_item(4);
    ASSERT_EQ(opened.size(), 4u);
    EXPECT_EQ(opened[3], std::string(list().item(4)->path));
}

TEST_F(Home, EnterWithSeveralSelectedOpensNothing)
{
    thumb_folder::Folder folder("several");
    ASSERT_TRUE(folder.fill_many(4));
    show(folder.path());
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    SendMessageW(list_window(), LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
    SendMessageW(list_window(), LVM_SETITEMSTATE, 3, reinterpret_cast<LPARAM>(&state));
    opened.clear();
    SendMessageW(home->window(), WM_HOME_OPEN_SELECTED, 0, 0);
    EXPECT_TRUE(opened.empty());
}

TEST_F(Home, ReportViewShowsSizesAndLocalDates)
{
    thumb_folder::Folder folder("report");
    thumb_folder::write_bytes(folder.file("a.txt"), std::string(1500, 'a'));
    thumb_folder::write_bytes(folder.file("b.txt"), std::string(1023, 'b'));
    // 2024-03-05 14:07:00 local time on a.txt, midnight on b.txt.
    const auto stamp = [](const std::string& path, WORD hour, WORD minute) {
        SYSTEMTIME local{2024, 3, 2, 5, hour, minute, 0, 0};
        FILETIME lft, ft;
        SystemTimeToFileTime(&local, &lft);
        LocalFileTimeToFileTime(&lft, &ft);
        HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        SetFileTime(f, nullptr, nullptr, &ft);
        CloseHandle(f);
    };
    stamp(folder.file("a.txt"), 14, 7);
    stamp(folder.file("b.txt"), 0, 0);
    list().set_view_type(2);
    show(folder.path());
    ASSERT_EQ(list().count(), 2);

    char order[8] = {}, sep[8] = {}, time_sep[8] = {};
    if (!GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_IDATE, order, sizeof order)) std::strcpy(order, "1");
    if (!GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDATE, sep, sizeof sep)) std::strcpy(sep, "/");
    if (!GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIME, time_sep, sizeof time_sep)) std::strcpy(time_sep, ":");
    const std::string s = sep;
    std::string date;
    if (order[0] == '0') date = "03" + s + "05" + s + "2024";
    else if (order[0] == '2') date = "2024" + s + "03" + s + "05";
    else date = "05" + s + "03" + s + "2024";

    for (int i = 0; i < 2; ++i) {
        const std::string name = item_text(list_window(), i, 0);
        if (name == "a.txt") {
            EXPECT_EQ(item_text(list_window(), i, 3), "1.46 KB");
            EXPECT_EQ(item_text(list_window(), i, 4), date + " 14" + time_sep + "07");
        } else {
            EXPECT_EQ(item_text(list_window(), i, 3), "1023 Bytes");
            EXPECT_EQ(item_text(list_window(), i, 4), date);
        }
    }
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(list_window(), GWL_STYLE));
    EXPECT_EQ(style & LVS_TYPEMASK, static_cast<DWORD>(LVS_REPORT));
    wait_for_pass_end();
}

TEST_F(Home, TheFormatFilterKeepsOneFormatsFilesWithoutReadingAgain)
{
    thumb_folder::Folder folder("filter");
    ASSERT_TRUE(folder.fill_mixed());
    show(folder.path());
    const int all = list().count();
    list().set_filter(format_find_by_name("jpeg"));
    // The text file goes, the five .jpg stay.
    EXPECT_EQ(list().count(), all - 1);
    for (int i = 0; i < list().count(); ++i) EXPECT_NE(std::string(list().item(i)->name), "notes.txt");
    list().set_filter(-1);
    EXPECT_EQ(list().count(), all);
    wait_for_pass_end();
}

TEST_F(Home, ThumbnailsAreDrawnInTheirFramesWithTheirNames)
{
    thumb_folder::Folder folder("drawn");
    ASSERT_TRUE(folder.fill_many(3, 80, 60));
    show(folder.path());
    ASSERT_TRUE(wait_for_pass_end());
    pump_pending();
    const Shot s = shoot(list_window());
    RECT icon{LVIR_ICON, 0, 0, 0};
    ASSERT_TRUE(SendMessageW(list_window(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&icon)));
    // The frame spans the item's whole width.
    const int cell = LOWORD(SendMessageW(list_window(), LVM_GETITEMSPACING, FALSE, 0));
    icon.left = (icon.left + icon.right) / 2 - cell / 2;
    const ThumbItem* r = list().item(0);
    ASSERT_TRUE(r->bitmap);
    // The thumbnail's top-left quadrant (red) sits centred in the frame.
    const int cx = (icon.left + icon.right) / 2, cy = (icon.top + 4 + icon.bottom) / 2;
    const COLORREF red = s.at(cx - r->bitmap_width / 4, cy - r->bitmap_height / 4);
    EXPECT_GT(GetRValue(red), 200);
    EXPECT_LT(GetGValue(red), 80);
    const COLORREF yellow = s.at(cx + r->bitmap_width / 4, cy + r->bitmap_height / 4);
    EXPECT_GT(GetRValue(yellow), 200);
    EXPECT_GT(GetGValue(yellow), 200);
    // The black outline 2 pixels in from the icon rectangle's left.
    EXPECT_EQ(s.at(icon.left + 2, cy), RGB(0, 0, 0));
}

// Answers from the home screen timed by another thread while the list fills.
TEST_F(Home, FiveHundredSmallPicturesFillWithoutTheWindowStoppingToAnswer)
{
    thumb_folder::Folder folder("five_hundred");
    ASSERT_TRUE(folder.fill_many(500));
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::atomic<bool> stop{false};
    std::atomic<double> longest{0};
    std::atomic<int> answers{0};
    HWND target = home->window();
    std::thread prober([&] {
        LARGE_INTEGER last, now;
        QueryPerformanceCounter(&last);
        while (!stop) {
            DWORD_PTR result;
            if (SendMessageTimeoutW(target, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result)) {
                QueryPerformanceCounter(&now);
                const double gap = static_cast<double>(now.QuadPart - last.QuadPart) * 1000.0 / frequency.QuadPart;
                if (gap > longest) longest = gap;
                last = now;
                ++answers;
            }
            Sleep(1);
        }
    });
    pump_until([&] { return answers > 3; });
    static std::string path;
    path = folder.path();
    PostMessageW(home->window(), WM_HOME_SHOW_FOLDER, 0, reinterpret_cast<LPARAM>(path.c_str()));
    const bool finished = pump_until([] { return g_arrivals.done > 0; }, 60000);
    stop = true;
    prober.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(list().count(), 500);
    EXPECT_EQ(g_arrivals.ready, every_index(500));
    for (int i = 0; i < 500; ++i) EXPECT_TRUE(list().item(i)->bitmap != nullptr) << i;
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    list().rebuild(false);
    QueryPerformanceCounter(&t1);
    std::printf("longest wait for an answer: %.1f ms over %d answers; a rebuild of 500 items: %.1f ms\n",
                longest.load(), answers.load(), static_cast<double>(t1.QuadPart - t0.QuadPart) * 1000.0 / frequency.QuadPart);
    list().worker_stop();
    EXPECT_LT(longest.load(), 100.0);
}

}  // namespace

// Not a test: the figures of the thumbnail benchmark under Wine (the worker over the folder that
// bench/thumbs_bench.cpp makes, from the first message to the end of its pass, and the process's
// peak memory). Run by name with --gtest_also_run_disabled_tests and LUMEVA_BENCH_FOLDER set.
TEST_F(Home, DISABLED_MeasureTheWorkerOverLargePhotos)
{
    const char* folder = std::getenv("LUMEVA_BENCH_FOLDER");
    ASSERT_NE(folder, nullptr);
    PROCESS_MEMORY_COUNTERS before{};
    K32GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
    LARGE_INTEGER frequency, t0, t1;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&t0);
    show(folder);
    ASSERT_TRUE(pump_until([] { return g_arrivals.done > 0; }, 600000));
    QueryPerformanceCounter(&t1);
    PROCESS_MEMORY_COUNTERS after{};
    K32GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
    int thumbnails = 0;
    for (int i = 0; i < list().count(); ++i) thumbnails += list().item(i)->bitmap != nullptr;
    std::printf("%d thumbnails of %d files in %.0f ms; peak working set %.1f MB, %.1f MB above the start\n", thumbnails,
                list().count(), static_cast<double>(t1.QuadPart - t0.QuadPart) * 1000.0 / frequency.QuadPart,
                after.PeakWorkingSetSize / 1048576.0,
                (static_cast<double>(after.PeakWorkingSetSize) - static_cast<double>(before.WorkingSetSize)) / 1048576.0);
}
