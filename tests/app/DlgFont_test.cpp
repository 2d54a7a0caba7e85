#include <gtest/gtest.h>

#include <cwchar>

#include "app/DlgFont.h"

namespace {

TEST(FontChoices, SizeTableAsOffered)
{
    int n = 0;
    while (FONT_SIZES[n] != -1) ++n;
    EXPECT_EQ(n, FONT_SIZE_COUNT);
    EXPECT_EQ(FONT_SIZES[0], 8);
    EXPECT_EQ(FONT_SIZES[15], 48);
    EXPECT_EQ(FONT_SIZES[21], 292);
    EXPECT_EQ(FONT_SIZES[23], 340);
    EXPECT_EQ(font_size_points(99), 340);
}

TEST(FontChoices, RememberedStartValues)
{
    font_remembered_reset();
    const FontChoice& c = font_remembered();
    EXPECT_STREQ(c.face, L"Courier New");
    EXPECT_EQ(c.size_index, 15);
    EXPECT_FALSE(c.bold || c.italic || c.underline || c.strike_out);
}

TEST(FontChoices, DescriptionFromChoices)
{
    FontChoice c{};
    std::wcscpy(c.face, L"Arial");
    c.size_index = 4;  // 12 points
    c.bold = true;
    c.underline = true;
    ViewFont f = font_describe(c, 96);
    EXPECT_EQ(f.height, -16);
    EXPECT_EQ(f.weight, 700);
    EXPECT_TRUE(f.underline);
    EXPECT_FALSE(f.italic);
    EXPECT_STREQ(f.face, L"Arial");
    c.bold = false;
    c.size_index = 0;  // 8 points at 96 dpi: 10.67 rounds to 11
    f = font_describe(c, 96);
    EXPECT_EQ(f.height, -11);
    EXPECT_EQ(f.weight, 400);
}

TEST(FontChoices, FaceNameCutAt31)
{
    FontChoice c{};
    std::wcscpy(c.face, L"An Extraordinarily Long Font Family Name");
    const ViewFont f = font_describe(c, 96);
    EXPECT_EQ(std::wcslen(f.face), 31u);
    EXPECT_EQ(std::wcsncmp(f.face, c.face, 31), 0);
}

TEST(FontChoices, MulDivRoundsLikeWindows)
{
    EXPECT_EQ(font_mul_div(48, 96, 72), 64);
    EXPECT_EQ(font_mul_div(9, 96, 72), 12);
    EXPECT_EQ(font_mul_div(-9, 96, 72), -12);
    EXPECT_EQ(font_mul_div(1, 1, 2), 1);
    EXPECT_EQ(font_mul_div(5, 5, 0), -1);
}

}  // namespace
