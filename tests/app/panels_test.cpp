// The window-free parts of the small panels: lamps, splash time, status area, link copies, and
// the thumbnail list's item layout and shortened names.
#include <gtest/gtest.h>

#include <string>

#include "app/BitmapLink.h"
#include "app/BitmapView.h"
#include "app/Info.h"
#include "app/StatusText.h"
#include "app/splash.h"
#include "resources/resource.h"

namespace {

TEST(InfoLamps, EachLevelLightsOneLampAndNamesItsWord)
{
    const InfoLamps optimal = info_lamps(2, 138);
    EXPECT_EQ(optimal.colour[0], INFO_GREEN);
    EXPECT_EQ(optimal.colour[1], INFO_GREY);
    EXPECT_EQ(optimal.colour[2], INFO_GREY);
    EXPECT_EQ(optimal.string_id, IDS_INFO_GREEN);

    const InfoLamps fair = info_lamps(1, 138);
    EXPECT_EQ(fair.colour[0], INFO_GREY);
    EXPECT_EQ(fair.colour[1], INFO_YELLOW);
    EXPECT_EQ(fair.colour[2], INFO_GREY);
    EXPECT_EQ(fair.string_id, IDS_INFO_YELLOW);

    for (int level : {0, -1, -100, 3, 42}) {
        SCOPED_TRACE(level);
        const InfoLamps poor = info_lamps(level, 138);
        EXPECT_EQ(poor.colour[0], INFO_GREY);
        EXPECT_EQ(poor.colour[1], INFO_GREY);
        EXPECT_EQ(poor.colour[2], INFO_RED);
        EXPECT_EQ(poor.string_id, IDS_INFO_RED);
    }
}

TEST(InfoLamps, ThreeCirclesCentredAcrossThePanel)
{
    const InfoLamps lamps = info_lamps(2, 138);  // x0 = 21
    EXPECT_EQ(lamps.box[0].left, 25);
    EXPECT_EQ(lamps.box[0].right, 49);
    EXPECT_EQ(lamps.box[1].left, 57);
    EXPECT_EQ(lamps.box[2].left, 89);
    EXPECT_EQ(lamps.box[2].right, 113);
    for (const PanelRect& r : lamps.box) {
        EXPECT_EQ(r.top, 4);
        EXPECT_EQ(r.bottom, 28);
        EXPECT_EQ(r.width(), 24);
    }
}

TEST(SplashTime, StaysTwoWholeSecondsByTheClock)
{
    EXPECT_EQ(splash_remaining_ms(100, 100), 2000);
    EXPECT_EQ(splash_remaining_ms(100, 101), 1000);
    EXPECT_EQ(splash_remaining_ms(100, 102), 0);
    EXPECT_EQ(splash_remaining_ms(100, 103), 0);
    EXPECT_EQ(splash_remaining_ms(100, 99), 2000);  // clock set back
}

TEST(StatusArea, LeavesTheLowest20PixelsOnTallScreens)
{
    const PanelRect client{0, 0, 800, 64};
    EXPECT_EQ(status_text_area(client, 768).bottom, 44);
    EXPECT_EQ(status_text_area(client, 601).bottom, 44);
    EXPECT_EQ(status_text_area(client, 600).bottom, 64);
}

TEST(LinkCopies, RepeatedDownTheWindowWithOneBlankRow)
{
    // The product link on a 1024 x 768 screen: 124 high with its border, 122 inside.
    EXPECT_EQ(link_copy_rows(122, 61), (std::vector<int>{0, 62}));
    EXPECT_EQ(link_copy_rows(44, 61), (std::vector<int>{0}));
    EXPECT_EQ(link_copy_rows(124, 61), (std::vector<int>{0, 62}));
    EXPECT_EQ(link_copy_rows(125, 61), (std::vector<int>{0, 62, 124}));
    EXPECT_TRUE(link_copy_rows(0, 61).empty());
    EXPECT_TRUE(link_copy_rows(100, 0).empty());
}

TEST(ThumbCells, ImageListAndSpacingFromTheBox)
{
    const ThumbCellSizes s = thumb_cell_sizes(92, 64, 13);
    EXPECT_EQ(s.image_width, 84);
    EXPECT_EQ(s.image_height, 68);
    EXPECT_EQ(s.spacing_width, 100);
    EXPECT_EQ(s.spacing_height, 68 + 26);
}

TEST(ThumbCells, FrameAndThumbnailAreaInsideTheIconRectangle)
{
    const ThumbItemLayout l = thumb_item_layout(PanelRect{100, 50, 200, 118});
    EXPECT_EQ(l.filled.left, 104);
    EXPECT_EQ(l.filled.top, 54);
    EXPECT_EQ(l.filled.right, 196);
    EXPECT_EQ(l.filled.bottom, 118);
    EXPECT_EQ(l.outline.left, 102);
    EXPECT_EQ(l.outline.bottom, 120);
    EXPECT_EQ(l.inner.left, 106);
    EXPECT_EQ(l.inner.right, 194);
    EXPECT_EQ(l.inner.bottom, 116);
    int x, y;
    thumb_centre(l.inner, 40, 30, &x, &y);
    EXPECT_EQ(x, 106 + (88 - 40) / 2);
    EXPECT_EQ(y, 56 + (60 - 30) / 2);
}

int seven_per_character(const std::string& s) { return 7 * static_cast<int>(s.size()); }

TEST(ShortNames, CutAtTheEndWithThreeDots)
{
    // 84 pixels of label, 80 for the text: eleven characters at 7 pixels.
    EXPECT_EQ(thumb_shorten_name("short.jpg", 84, seven_per_character), "short.jpg");
    EXPECT_EQ(thumb_shorten_name("exactly.jpeg", 88, seven_per_character), "exactly.jpeg");
    EXPECT_EQ(thumb_shorten_name("holidays-in-brittany.jpg", 84, seven_per_character), "holidays...");
    EXPECT_EQ(thumb_shorten_name("abcdef", 20, seven_per_character), "...");
    EXPECT_EQ(thumb_shorten_name("abcdef", 0, seven_per_character), "...");
}

TEST(ShortNames, NeverLongerThan64Characters)
{
    const std::string name(300, 'n');
    const std::string wide = thumb_shorten_name(name, 100000, seven_per_character);
    EXPECT_EQ(wide.size(), 64u);
    EXPECT_EQ(wide.substr(61), "...");
    EXPECT_EQ(thumb_shorten_name(std::string(64, 'n'), 100000, seven_per_character), std::string(64, 'n'));
}

}  // namespace
