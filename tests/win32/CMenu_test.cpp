// Menus loaded from the program's resources, translated from a language file and drawn by the
// program; the language table's strings and dialog texts; the bitmap register's exit report.
#include "app/win32/CMenu.h"

#include <gtest/gtest.h>

#include <io.h>

#include <cstdio>
#include <string>

#include "app/win32/BitmapRegister.h"
#include "app/win32/LanguageTable.h"
#include "app/win32/ModalDialog.h"
#include "resources/resource.h"

namespace {

const char kTestLanguage[] =
    "[String]\r\nIDS_QUIT = Leave \r\nIDS_CROP=X\r\n"
    "[Menu]\r\nIDM_BALANCE=Colours\r\nIDM_AUTOCONTRAST=Auto contrast\r\nIDM_BLUR=Blur\r\n"
    "IDM_SEPIA=Sepia\r\n"
    "[IDD_ABOUT]\r\nIDD_ABOUT=About the program\r\nIDC_ABOUT_TEXT=Caf\xE9 photos\r\n";

std::wstring item_text(HMENU menu, UINT command)
{
    wchar_t text[256] = {};
    GetMenuStringW(menu, command, text, 256, MF_BYCOMMAND);
    return text;
}

class LanguageAndMenus : public ::testing::Test {
protected:
    void TearDown() override { language().unload(); }
};

}  // namespace

TEST_F(LanguageAndMenus, StringsFallBackToTheFrenchResources)
{
    language().load(GetModuleHandleW(nullptr), "fr");
    EXPECT_FALSE(language().has_file());
    EXPECT_EQ(language().string(IDS_QUIT), L"Quitter");
    EXPECT_EQ(language().string(IDS_BACK), L"Retour \u00e0 l'accueil");
    EXPECT_EQ(language().string(IDS_STATUS, 10), L"Cliquez s");  // cut to the caller's buffer
    // A code whose file is not there: French as well.
    EXPECT_FALSE(language().load(GetModuleHandleW(nullptr), "zz"));
    EXPECT_EQ(language().string(IDS_QUIT), L"Quitter");

    language().load_bytes(GetModuleHandleW(nullptr), kTestLanguage);
    EXPECT_EQ(language().string(IDS_QUIT), L"Leave");
    EXPECT_EQ(language().string(IDS_CROP), L"Recadrer");  // one character: absent
    EXPECT_EQ(language().string(IDS_ROTATE), L"Pivoter");
}

TEST_F(LanguageAndMenus, AMenuIsTranslatedInItemOrderAndMadeOwnerDrawn)
{
    language().load_bytes(GetModuleHandleW(nullptr), kTestLanguage);
    OwnerMenu menu;
    ASSERT_TRUE(menu.load(GetModuleHandleW(nullptr), IDR_MENU_RETOUCH));
    HMENU popup = GetSubMenu(menu.menu(), 0);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(GetMenuItemCount(popup), 12);
    EXPECT_EQ(item_text(popup, IDM_BALANCE), L"Colours");
    EXPECT_EQ(item_text(popup, IDM_AUTOCONTRAST), L"Auto contrast");
    // IDM_AUTOLEVELS is missing: the walk ran to the end of the file and the rest keep French.
    EXPECT_EQ(item_text(popup, IDM_AUTOLEVELS), L"Niveaux automatiques");
    EXPECT_EQ(item_text(popup, IDM_BLUR), L"Flou");
    EXPECT_EQ(item_text(popup, IDM_SEPIA), L"S\u00e9pia");

    for (int i = 0; i < GetMenuItemCount(popup); ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_DATA;
        ASSERT_TRUE(GetMenuItemInfoW(popup, static_cast<UINT>(i), TRUE, &info));
        EXPECT_TRUE(info.fType & MFT_OWNERDRAW) << i;
        EXPECT_EQ(info.dwItemData, reinterpret_cast<ULONG_PTR>(&menu)) << i;
    }
}

TEST_F(LanguageAndMenus, ItemsAndSeparatorsAreMeasured)
{
    OwnerMenu menu;
    ASSERT_TRUE(menu.load(GetModuleHandleW(nullptr), IDR_MENU_ROTATE));
    ASSERT_TRUE(menu.set_icons(GetModuleHandleW(nullptr), IDB_TOOLBAR, 25, 32, 32));
    EXPECT_EQ(ImageList_GetImageCount(menu.images()), 25);
    menu.set_icon_table(MENU_ICONS, MENU_ICON_COUNT);

    MEASUREITEMSTRUCT separator{ODT_MENU, 0, 0, 0, 0, reinterpret_cast<ULONG_PTR>(&menu)};
    EXPECT_EQ(owner_menu_message(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&separator)), 1);
    EXPECT_EQ(separator.itemHeight, 3u);
    EXPECT_EQ(separator.itemWidth, 0u);

    MEASUREITEMSTRUCT item{ODT_MENU, 0, IDM_HFLIP, 0, 0, reinterpret_cast<ULONG_PTR>(&menu)};
    EXPECT_EQ(owner_menu_message(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&item)), 1);
    EXPECT_GE(item.itemHeight, 32u);
    EXPECT_GT(item.itemWidth, 32u + 12u + 40u);  // icon, margins and a text of some width

    MEASUREITEMSTRUCT not_ours{ODT_MENU, 0, IDM_HFLIP, 0, 0, 0};
    EXPECT_EQ(owner_menu_message(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&not_ours)), 0);
}

TEST_F(LanguageAndMenus, AnItemIsDrawnWithItsIconTextAndSelection)
{
    OwnerMenu menu;
    ASSERT_TRUE(menu.load(GetModuleHandleW(nullptr), IDR_MENU_RETOUCH));
    ASSERT_TRUE(menu.set_icons(GetModuleHandleW(nullptr), IDB_TOOLBAR, 25, 32, 32));
    menu.set_icon_table(MENU_ICONS, MENU_ICON_COUNT);

    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 300, -40, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP target = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    ASSERT_NE(target, nullptr);
    HGDIOBJ old = SelectObject(dc, target);
    auto pixel = [&](int x, int y) {
        const uint32_t v = static_cast<const uint32_t*>(bits)[y * 300 + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    };

    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_MENU;
    item.itemID = IDM_SEPIA;
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = 0;
    item.hwndItem = reinterpret_cast<HWND>(GetSubMenu(menu.menu(), 0));
    item.hDC = dc;
    item.rcItem = {0, 0, 300, 40};
    item.itemData = reinterpret_cast<ULONG_PTR>(&menu);
    EXPECT_EQ(owner_menu_message(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item)), 1);
    GdiFlush();
    // The icon column in the face colour, the text area in the window colour darkened by 2 %.
    EXPECT_EQ(pixel(1, 1), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(pixel(290, 1), static_cast<COLORREF>(colour_darken(GetSysColor(COLOR_WINDOW), 0.02)));
    // The sepia icon (a brown print) sits 2 pixels inside the column.
    const COLORREF print = pixel(2 + 16, 2 + 16);
    EXPECT_NE(print, GetSysColor(COLOR_BTNFACE));
    EXPECT_GT(GetRValue(print), GetBValue(print));
    // Some text is drawn right of the column in the menu-text colour.
    int text_pixels = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 44; x < 200; ++x) text_pixels += pixel(x, y) == GetSysColor(COLOR_MENUTEXT);
    EXPECT_GT(text_pixels, 10);

    // Selected: the whole item in the highlight lightened by 85 %, framed in the highlight.
    item.itemState = ODS_SELECTED;
    owner_menu_message(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item));
    GdiFlush();
    EXPECT_EQ(pixel(0, 0), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(pixel(290, 20), static_cast<COLORREF>(colour_lighten(GetSysColor(COLOR_HIGHLIGHT), 0.85)));
    // Grayed items are never drawn selected.
    item.itemState = ODS_SELECTED | ODS_GRAYED;
    owner_menu_message(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item));
    GdiFlush();
    EXPECT_NE(pixel(290, 20), static_cast<COLORREF>(colour_lighten(GetSysColor(COLOR_HIGHLIGHT), 0.85)));

    // A separator: light fill with an etched line across the middle, right of the column.
    item.itemID = 0;
    item.itemState = 0;
    owner_menu_message(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item));
    GdiFlush();
    EXPECT_EQ(pixel(290, 5), static_cast<COLORREF>(colour_darken(GetSysColor(COLOR_WINDOW), 0.02)));
    EXPECT_NE(pixel(150, 20), pixel(150, 5));

    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
}

namespace {

struct AboutProbe : ModalDialog<AboutProbe> {
    AboutProbe() : ModalDialog(nullptr, IDD_ABOUT) {}
    static const CommandMap<AboutProbe> command_map;
    std::wstring title, text;
    INT_PTR init() override
    {
        language().translate_dialog_title(window(), "IDD_ABOUT", IDD_ABOUT);
        language().translate_dialog_control(window(), "IDC_ABOUT_TEXT", IDC_ABOUT_TEXT);
        wchar_t buffer[256] = {};
        GetWindowTextW(window(), buffer, 256);
        title = buffer;
        GetDlgItemTextW(window(), IDC_ABOUT_TEXT, buffer, 256);
        text = buffer;
        EndDialog(window(), 1);
        return TRUE;
    }
};
LRESULT cancel(AboutProbe&, HWND window, UINT, UINT, LPARAM)
{
    EndDialog(window, 2);
    return 0;
}
constexpr CommandMap<AboutProbe>::Pair no_commands[] = {{IDCANCEL, cancel}};

}  // namespace

const CommandMap<AboutProbe> AboutProbe::command_map{no_commands, DefaultProc::none};

TEST_F(LanguageAndMenus, DialogTitlesAndControlsComeFromTheirSection)
{
    language().load_bytes(GetModuleHandleW(nullptr), kTestLanguage);
    AboutProbe about;
    EXPECT_EQ(about.run(), 1);
    EXPECT_EQ(about.title, L"About the program");
    EXPECT_EQ(about.text, L"Caf\u00e9 photos");  // Windows-1252 bytes through the A calls
}

TEST(BitmapRegisterReport, NothingToSayWhenEverythingWasFreed)
{
    HDC screen = GetDC(nullptr);
    HBITMAP b = CREATE_COMPATIBLE_BITMAP(screen, 8, 8);
    ReleaseDC(nullptr, screen);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(bitmap_register_count(), 1u);
    EXPECT_TRUE(register_delete_object(b));
    EXPECT_EQ(bitmap_register_count(), 0u);
    bitmap_register_report();  // would block on a message box if it had anything to say
}

namespace {

struct Box {
    std::wstring title, text;
    int count = 0;
};

// Answers the report's message boxes from another thread, noting what they said.
DWORD WINAPI answer_boxes(void* context)
{
    auto* box = static_cast<Box*>(context);
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 10000 && box->count < 1) {
        HWND found = FindWindowW(L"#32770", L"Warning");
        if (found && IsWindowVisible(found)) {
            wchar_t text[256] = {};
            GetDlgItemTextW(found, 0xFFFF, text, 256);
            box->title = L"Warning";
            box->text = text;
            ++box->count;
            PostMessageW(found, WM_COMMAND, IDOK, 0);
        }
        Sleep(20);
    }
    return 0;
}

}  // namespace

TEST(BitmapRegisterReport, ABitmapNeverFreedIsReportedWithItsMaker)
{
    HDC screen = GetDC(nullptr);
    HBITMAP leaked = register_create_compatible_bitmap(screen, 4, 4, "leaky.cpp", 42);
    ReleaseDC(nullptr, screen);
    ASSERT_NE(leaked, nullptr);

    // The report's first line goes to the standard output.
    std::fflush(stdout);
    char path[MAX_PATH] = {}, folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    GetTempFileNameA(folder, "lmv", 0, path);
    const int original = _dup(_fileno(stdout));
    ASSERT_NE(std::freopen(path, "w", stdout), nullptr);

    Box box;
    HANDLE answerer = CreateThread(nullptr, 0, answer_boxes, &box, 0, nullptr);
    bitmap_register_report();
    WaitForSingleObject(answerer, 15000);
    CloseHandle(answerer);
    std::fflush(stdout);
    _dup2(original, _fileno(stdout));
    _close(original);

    FILE* f = std::fopen(path, "r");  // text mode, as it was written
    char line[128] = {};
    if (f) {
        std::fgets(line, sizeof line, f);
        std::fclose(f);
    }
    DeleteFileA(path);
    EXPECT_STREQ(line, "Error : HBITMAP not freed\n");
    EXPECT_EQ(box.count, 1);
    EXPECT_EQ(box.text, L"HBitmap not freed : leaky.cpp 42 \n");
    EXPECT_EQ(bitmap_register_count(), 0u);
    DeleteObject(leaked);
}
