// The main window's numbers: toolbar buttons and their screens, the layout for small, middle and
// large screens, and the settings file's place.
#include "app/Briova.h"

#include <gtest/gtest.h>

#include "resources/resource.h"

TEST(MainToolbar, ThirteenButtonsInOrderWithTheirCellsAndCaptions)
{
    const int commands[13] = {40002, 40003, 40004, 1001, 1002, 1003, 40024, 40023, 1004, 1005, 1006, 1007, 40001};
    const int cells[13] = {2, 1, 3, 12, 9, 13, 21, 22, 4, 14, 15, 23, 24};
    const int captions[13] = {19, 20, 21, 2, 4, 6, 24, 23, 5, 7, 8, 14, 1};
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(TOOLBAR_BUTTONS[i].command, commands[i]) << i;
        EXPECT_EQ(TOOLBAR_BUTTONS[i].image, cells[i]) << i;
        EXPECT_EQ(TOOLBAR_BUTTONS[i].caption_id, captions[i]) << i;
    }
}

TEST(MainToolbar, OnlyAboutAndQuitShowOnTheHomeScreen)
{
    int home = 0, editing = 0;
    for (const ToolbarButton& b : TOOLBAR_BUTTONS) {
        home += toolbar_button_visible(b, Screen::home);
        editing += toolbar_button_visible(b, Screen::editing);
        if (b.command == CMD_ABOUT || b.command == CMD_QUIT) {
            EXPECT_TRUE(toolbar_button_visible(b, Screen::home));
        }
    }
    EXPECT_EQ(home, 2);
    EXPECT_EQ(editing, 13);
}

TEST(MainScreens, HomeAndEditingShowOppositeWindows)
{
    const ScreenState home = screen_state(Screen::home);
    EXPECT_TRUE(home.home_visible);
    EXPECT_FALSE(home.view_visible);
    EXPECT_FALSE(home.info_visible);
    EXPECT_EQ(home.status_id, IDS_STATUS);
    const ScreenState editing = screen_state(Screen::editing);
    EXPECT_FALSE(editing.home_visible);
    EXPECT_TRUE(editing.view_visible);
    EXPECT_TRUE(editing.info_visible);
    EXPECT_EQ(editing.status_id, IDS_STATUS_VIEW);
}

TEST(MainLayoutSizes, ScreenHeightThresholds)
{
    EXPECT_EQ(status_height(600), 32);
    EXPECT_EQ(status_height(601), 64);
    EXPECT_EQ(product_link_height(600), 46);
    EXPECT_EQ(product_link_height(601), 124);
    EXPECT_EQ(product_link_height(800), 124);
    EXPECT_EQ(product_link_height(801), 310);
    EXPECT_FALSE(maker_link_enabled(600));
    EXPECT_TRUE(maker_link_enabled(601));
}

namespace {
LayoutInput input(int w, int h, int screen)
{
    LayoutInput in{};
    in.client_width = w;
    in.client_height = h;
    in.screen_height = screen;
    in.maker_enabled = in.maker_visible = maker_link_enabled(screen);
    in.product = {7, 9, LINK_WIDTH, product_link_height(screen)};  // wherever it was
    in.maker = {3, 4, LINK_WIDTH, MAKER_LINK_HEIGHT};
    return in;
}
}  // namespace

TEST(MainLayoutSizes, A1024By768Screen)
{
    const MainLayout l = main_layout(input(1024, 700, 768));
    EXPECT_EQ(l.status, (LayoutRect{140, 636, 884, 64}));
    EXPECT_EQ(l.toolbar, (LayoutRect{0, 0, 140, 700}));
    EXPECT_EQ(l.maker, (LayoutRect{0, 654, 138, 46}));
    EXPECT_EQ(l.product, (LayoutRect{0, 530, 138, 124}));
    EXPECT_EQ(l.info, (LayoutRect{0, 482, 138, 48}));
    EXPECT_EQ(l.home, (LayoutRect{140, 0, 884, 636}));
    EXPECT_EQ(l.view, (LayoutRect{140, 0, 884, 636}));
}

TEST(MainLayoutSizes, A600PixelScreenHidesTheMakerLink)
{
    LayoutInput in = input(800, 560, 600);
    const MainLayout l = main_layout(in);
    EXPECT_EQ(l.status, (LayoutRect{140, 528, 660, 32}));
    EXPECT_EQ(l.maker, in.maker);  // left where it is
    EXPECT_EQ(l.product, (LayoutRect{0, 514, 138, 46}));
    EXPECT_EQ(l.info, (LayoutRect{0, 466, 138, 48}));
    EXPECT_EQ(l.view, (LayoutRect{140, 0, 660, 528}));
}

TEST(MainLayoutSizes, AHiddenButEnabledMakerLinkLeavesTheProductLinkAtTheBottom)
{
    LayoutInput in = input(1280, 990, 1024);
    in.maker_visible = false;
    const MainLayout l = main_layout(in);
    EXPECT_EQ(l.product, (LayoutRect{0, 990 - 310, 138, 310}));
    EXPECT_EQ(l.maker, (LayoutRect{0, 944, 138, 46}));
}

TEST(SettingsFile, BesideTheExecutable)
{
    EXPECT_EQ(settings_path("C:\\Program Files\\Lumeva\\Lumeva.exe"), "C:\\Program Files\\Lumeva\\lumeva.ini");
    EXPECT_EQ(settings_path("Lumeva.exe"), "lumeva.ini");
}
