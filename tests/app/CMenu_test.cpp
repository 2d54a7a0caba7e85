// Menu colours and item sizes.
#include "app/CMenu.h"

#include <gtest/gtest.h>

namespace {
uint32_t channel(uint32_t colour, int n)
{
    return (colour >> (8 * n)) & 0xFF;
}
}  // namespace

TEST(MenuColours, LightenAndDarkenEachChannelTruncating)
{
    const uint32_t l = colour_lighten(0xFF8000, 0.85);  // blue 255, green 128, red 0
    EXPECT_EQ(channel(l, 0), 216u);                      // 255 * 0.85 = 216.75
    EXPECT_EQ(channel(l, 1), 235u);                      // 128 + 127 * 0.85 = 235.95
    EXPECT_EQ(channel(l, 2), 255u);
    const uint32_t d = colour_darken(0x00C8FAFF, 0.02);  // blue 200, green 250, red 255
    EXPECT_EQ(channel(d, 0), 249u);                      // 255 - 5.1
    EXPECT_EQ(channel(d, 1), 245u);
    EXPECT_EQ(channel(d, 2), 196u);
}

TEST(MenuColours, FactorsOutsideZeroToOneChangeNothing)
{
    EXPECT_EQ(colour_lighten(0x123456, 1.5), 0x123456u);
    EXPECT_EQ(colour_lighten(0x123456, -0.1), 0x123456u);
    EXPECT_EQ(colour_darken(0x123456, 2.0), 0x123456u);
    EXPECT_EQ(colour_lighten(0x123456, 1.0), 0xFFFFFFu);
    EXPECT_EQ(colour_darken(0x123456, 1.0), 0u);
}

TEST(MenuItems, SeparatorsAreThreePixelsHigh)
{
    const MenuItemSize s = menu_item_size(true, 100, 19, true, 32, 32);
    EXPECT_EQ(s.width, 0);
    EXPECT_EQ(s.height, 3);
}

TEST(MenuItems, IconsWidenAndHeightenItems)
{
    const MenuItemSize with = menu_item_size(false, 100, 19, true, 32, 32);
    EXPECT_EQ(with.width, 100 + 12 + 32);
    EXPECT_EQ(with.height, 36);  // below the icon: icon height + 4
    const MenuItemSize tall = menu_item_size(false, 100, 40, true, 32, 32);
    EXPECT_EQ(tall.height, 40);
    const MenuItemSize without = menu_item_size(false, 100, 2, false, 32, 32);
    EXPECT_EQ(without.width, 128);
    EXPECT_EQ(without.height, 4);
    EXPECT_EQ(menu_icon_column(true, 32), 36);
    EXPECT_EQ(menu_icon_column(false, 32), 20);
}
