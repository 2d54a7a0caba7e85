// The Info panel's lamps, the status line, the splash screen's minimum time and the links,
// in real windows.
#include <gtest/gtest.h>

#include <string>

#include "app/Info.h"
#include "app/win32/BitmapLink.h"
#include "app/win32/Info.h"
#include "app/win32/LanguageTable.h"
#include "app/win32/StatusText.h"
#include "app/win32/splash.h"
#include "resources/resource.h"
#include "window_testing.h"

using namespace window_testing;

namespace {

class Panels : public ::testing::Test {
protected:
    void SetUp() override
    {
        host = make_host(400, 300);
        ASSERT_NE(host, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(host);
        pump_pending();
    }
    HWND host = nullptr;
};

struct LampColours {
    COLORREF lamp[3];
};

LampColours lamps_of(HWND window)
{
    const Shot s = shoot(window);
    const int x0 = (s.width - 96) / 2;
    LampColours out{};
    for (int i = 0; i < 3; ++i) out.lamp[i] = s.at(x0 + 16 + 32 * i, 16);
    return out;
}

TEST_F(Panels, InfoLightsOneLampPerLevel)
{
    Info info;
    ASSERT_TRUE(info.create(host, WS_VISIBLE | WS_BORDER, 0, 0, 138, 48));
    wchar_t cls[32] = {};
    GetClassNameW(info.window(), cls, 32);
    EXPECT_STREQ(cls, L"InfoClass");
    EXPECT_EQ(Info::of(info.window()), &info);

    info.set_level(2);
    LampColours c = lamps_of(info.window());
    EXPECT_EQ(c.lamp[0], static_cast<COLORREF>(INFO_GREEN));
    EXPECT_EQ(c.lamp[1], static_cast<COLORREF>(INFO_GREY));
    EXPECT_EQ(c.lamp[2], static_cast<COLORREF>(INFO_GREY));

    info.set_level(1);
    c = lamps_of(info.window());
    EXPECT_EQ(c.lamp[0], static_cast<COLORREF>(INFO_GREY));
    EXPECT_EQ(c.lamp[1], static_cast<COLORREF>(INFO_YELLOW));
    EXPECT_EQ(c.lamp[2], static_cast<COLORREF>(INFO_GREY));

    for (int level : {0, -3, 7}) {
        SCOPED_TRACE(level);
        info.set_level(level);
        EXPECT_EQ(info.level(), level);
        c = lamps_of(info.window());
        EXPECT_EQ(c.lamp[0], static_cast<COLORREF>(INFO_GREY));
        EXPECT_EQ(c.lamp[1], static_cast<COLORREF>(INFO_GREY));
        EXPECT_EQ(c.lamp[2], static_cast<COLORREF>(INFO_RED));
    }

    // The word is drawn at the bottom, in black on white: some dark pixels below the lamps.
    const Shot s = shoot(info.window());
    int dark = 0;
    for (int y = 30; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) dark += GetRValue(s.at(x, y)) < 100;
    EXPECT_GT(dark, 10);
    EXPECT_EQ(s.at(2, 2), static_cast<COLORREF>(INFO_BACKGROUND));
    info.destroy_window();
}

TEST_F(Panels, InfoWordsComeFromTheLanguageTable)
{
    EXPECT_EQ(text(IDS_INFO_GREEN, 64), L"Optimal");
    EXPECT_EQ(text(IDS_INFO_YELLOW, 64), L"Satisfaisant");
    EXPECT_EQ(text(IDS_INFO_RED, 64), L"Insuffisant");
}

TEST_F(Panels, StatusTextPaintsItsColourAndLeavesTheBottomOnTallScreens)
{
    StatusText status;
    ASSERT_TRUE(status.create(host, WS_VISIBLE, 0, 0, 300, 64));
    status.set_colour(RGB(0, 0, 200));
    status.set_text(L"Choisissez une photo");
    EXPECT_EQ(status.text(), L"Choisissez une photo");
    const Shot s = shoot(status.window());
    EXPECT_EQ(s.at(2, 2), RGB(0, 0, 200));
    // The host's white shows through the unpainted bottom rows of a screen taller than 600.
    ASSERT_GT(GetSystemMetrics(SM_CYSCREEN), 600);
    EXPECT_EQ(s.at(2, 50), RGB(255, 255, 255));
    int text_pixels = 0;
    for (int x = 0; x < s.width; ++x) text_pixels += s.at(x, 22) != RGB(0, 0, 200);
    EXPECT_GT(text_pixels, 0);

    // WM_SETFONT keeps the font.
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageW(status.window(), WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
    EXPECT_EQ(status.font(), font);
    status.destroy_window();
}

int64_t fake_now = 1000;
int64_t fake_clock() { return fake_now; }

TEST_F(Panels, SplashStaysTwoWholeSecondsAndIsGoneAfter)
{
    Splash::set_clock(fake_clock);
    Splash splash;
    fake_now = 1000;
    splash.start(IDB_SPLASH);
    ASSERT_TRUE(splash.shown());
    HWND window = splash.window();
    wchar_t cls[32] = {};
    GetClassNameW(window, cls, 32);
    EXPECT_STREQ(cls, L"SplashClass");
    RECT r;
    GetWindowRect(window, &r);
    EXPECT_EQ(r.right - r.left, 448);
    EXPECT_EQ(r.bottom - r.top, 189);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 448) / 2);
    // The picture is painted: not all one colour.
    const Shot s = shoot(window);
    EXPECT_NE(s.at(10, 10), s.at(224, 94));

    // Closed in the same second: two more seconds.
    DWORD before = GetTickCount();
    splash.close();
    EXPECT_GE(GetTickCount() - before, 1900u);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(splash.shown());

    // Closed three seconds after it appeared: at once.
    splash.start(IDB_SPLASH);
    ASSERT_TRUE(splash.shown());
    fake_now = 1003;
    before = GetTickCount();
    splash.close();
    EXPECT_LT(GetTickCount() - before, 500u);
    EXPECT_FALSE(splash.shown());

    // One second later: one more second.
    fake_now = 2000;
    splash.start(IDB_SPLASH);
    fake_now = 2001;
    before = GetTickCount();
    splash.close();
    const DWORD waited = GetTickCount() - before;
    EXPECT_GE(waited, 900u);
    EXPECT_LT(waited, 1600u);
    Splash::set_clock(nullptr);
}

TEST_F(Panels, NoSplashWithoutItsBitmap)
{
    Splash splash;
    splash.start(9999);
    EXPECT_FALSE(splash.shown());
    const DWORD before = GetTickCount();
    splash.close();
    EXPECT_LT(GetTickCount() - before, 500u);
}

TEST_F(Panels, LinkRepeatsItsBitmapAndOpensItsAddressOnClick)
{
    BitmapLink link;
    ASSERT_TRUE(link.create(host, WS_VISIBLE, 77, 0, 0, 138, 124, IDB_PRODUCT_LINK, L"http://www.lumeva.fr/"));
    EXPECT_EQ(GetDlgCtrlID(link.window()), 77);
    ASSERT_NE(link.bitmap(), nullptr);
    BITMAP bm{};
    GetObjectW(link.bitmap(), sizeof bm, &bm);
    HWND owner_seen = nullptr;
    std::wstring opened;
    int clicks = 0;
    link.set_opener([&](HWND owner, const std::wstring& address) {
        owner_seen = owner;
        opened = address;
        ++clicks;
    });

    // Every pixel of a copy matches the first; the blank row between copies is the host's.
    const Shot s = shoot(link.window());
    ASSERT_GE(s.height, 2 * bm.bmHeight + 1);
    int same = 0;
    for (int x = 0; x < bm.bmWidth && x < s.width; ++x)
        for (int y = 0; y < bm.bmHeight; ++y) same += s.at(x, y) == s.at(x, y + bm.bmHeight + 1);
    EXPECT_EQ(same, bm.bmWidth * bm.bmHeight);

    SendMessageW(link.window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageW(link.window(), WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(opened, L"http://www.lumeva.fr/");
    EXPECT_EQ(owner_seen, host);

    HWND window = link.window();
    link.destroy();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(link.bitmap(), nullptr);
    EXPECT_TRUE(link.address().empty());
}

}  // namespace
