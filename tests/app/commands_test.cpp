#include <gtest/gtest.h>

#include "app/commands.h"
#include "app/print_format.h"
#include "app/save_name.h"
#include "core/format.h"

namespace {

TEST(PrintFormat, TenByFifteenFrameDependsOnOrientation)
{
    const int f = print_format_of_command(40027);
    ASSERT_EQ(f, 1);
    // 898 wide, 603 high: optimal lying down, only satisfactory upright (603 < 898).
    EXPECT_EQ(print_quality_of_frame(f, false, 10, 20, 10 + 898, 20 + 603), QUALITY_OPTIMAL);
    EXPECT_EQ(print_quality_of_frame(f, true, 10, 20, 10 + 898, 20 + 603), QUALITY_SATISFACTORY);
    EXPECT_EQ(print_quality_colour(QUALITY_OPTIMAL), 0x00FF00u);
    EXPECT_EQ(print_quality_colour(QUALITY_SATISFACTORY), 0x00FFFFu);
    EXPECT_EQ(print_quality_colour(QUALITY_INSUFFICIENT), 0x0000FFu);
}

TEST(PrintFormat, WholePictureIsTakenWithoutExchange)
{
    EXPECT_EQ(print_quality_of_picture(1, 1800, 1200), QUALITY_OPTIMAL);
    EXPECT_EQ(print_quality_of_picture(1, 1200, 1800), QUALITY_OPTIMAL);
    EXPECT_EQ(print_quality_of_picture(1, 0, 0), QUALITY_INSUFFICIENT);
    // 9x13 wants its long side first: 700 x 500 is satisfactory, 500 x 700 is not.
    EXPECT_EQ(print_quality_of_picture(0, 700, 500), QUALITY_SATISFACTORY);
    EXPECT_EQ(print_quality_of_picture(0, 500, 700), QUALITY_INSUFFICIENT);
}

TEST(PrintFormat, ThresholdsAreInclusive)
{
    const PrintFormat& f = PRINT_FORMATS[6];  // 20x30
    EXPECT_EQ(print_quality_of_picture(6, f.optimal_first, f.optimal_second), QUALITY_OPTIMAL);
    EXPECT_EQ(print_quality_of_picture(6, f.optimal_first - 1, f.optimal_second), QUALITY_SATISFACTORY);
    EXPECT_EQ(print_quality_of_picture(6, f.satisfactory_first, f.satisfactory_second - 1), QUALITY_INSUFFICIENT);
}

TEST(PrintFormat, CommandsAndShapes)
{
    for (int i = 0; i < PRINT_FORMAT_COUNT; ++i) {
        EXPECT_EQ(print_format_of_command(PRINT_FORMATS[i].command), i);
        // Portrait shapes are the upright physical sizes 14..27, landscape 31..44.
        EXPECT_GE(print_format_shape(i, true), 14);
        EXPECT_LE(print_format_shape(i, true), 27);
        EXPECT_GE(print_format_shape(i, false), 31);
        EXPECT_LE(print_format_shape(i, false), 44);
    }
    EXPECT_EQ(print_format_of_command(40025), -1);
    EXPECT_EQ(print_format_of_command(40037), -1);
    EXPECT_EQ(print_format_shape(1, true), 16);
    EXPECT_EQ(print_format_shape(1, false), 33);
    EXPECT_STREQ(PRINT_FORMATS[10].text, "15x20");
}

TEST(Commands, LeaveSelectionOnlyWhereTheFrameIsLost)
{
    for (int c : {40002, 40003, 40004, 40014, 40015, 40016, 40023, 1001, 1006})
        EXPECT_FALSE(command_leaves_selection(c)) << c;
    for (int c : {40008, 40011, 40012, 40013, 40017, 40022, 40024, 40025, 40026, 40036})
        EXPECT_TRUE(command_leaves_selection(c)) << c;
}

TEST(Commands, DropDownMenus)
{
    EXPECT_EQ(command_menu_resource(1001), 112);
    EXPECT_EQ(command_menu_resource(1003), 116);
    EXPECT_EQ(command_menu_resource(1005), 115);
    EXPECT_EQ(command_menu_resource(1006), 0);
}

TEST(SaveName, NewNameGetsJpgUnlessItEndsSo)
{
    EXPECT_EQ(save_as_path("C:\\p\\photo"), "C:\\p\\photo.jpg");
    EXPECT_EQ(save_as_path("C:\\p\\photo.JPG"), "C:\\p\\photo.JPG");
    EXPECT_EQ(save_as_path("C:\\p\\photo.jpeg"), "C:\\p\\photo.jpeg.jpg");
    EXPECT_EQ(save_as_path(".jpg"), ".jpg.jpg");  // four characters or fewer always get one
    EXPECT_EQ(save_as_path("a.jpg"), "a.jpg");
}

TEST(SaveName, SplitAtLastBackslash)
{
    std::string folder, name;
    save_split_path("C:\\Users\\me\\photo.png", &folder, &name);
    EXPECT_EQ(folder, "C:\\Users\\me\\");
    EXPECT_EQ(name, "photo.png");
    save_split_path("photo.png", &folder, &name);
    EXPECT_EQ(folder, "");
    EXPECT_EQ(name, "photo.png");
}

TEST(SaveName, SameNameInPlaceOnlyForJpegFiles)
{
    library_init();
    const unsigned char jpeg[] = {0xFF, 0xD8, 0xFF, 0xE0};
    const unsigned char png[] = {0x89, 'P', 'N', 'G'};
    EXPECT_TRUE(save_same_name_in_place("C:\\p\\photo.jpg", jpeg, 4));
    EXPECT_TRUE(save_same_name_in_place("C:\\p\\photo.JPEG", jpeg, 4));
    EXPECT_FALSE(save_same_name_in_place("C:\\p\\photo.png", png, 4));
    // A PNG dressed as a JPEG would still lose its lossless pixels.
    EXPECT_FALSE(save_same_name_in_place("C:\\p\\photo.jpg", png, 4));
    EXPECT_FALSE(save_same_name_in_place("C:\\p\\photo.bmp", jpeg, 4));
    EXPECT_FALSE(save_same_name_in_place("C:\\p\\photo.jpg", jpeg, 2));
    library_exit();
}

TEST(SaveName, JpegNameReplacesTheExtension)
{
    EXPECT_EQ(save_jpeg_name("photo.png"), "photo.jpg");
    EXPECT_EQ(save_jpeg_name("photo.tar.tiff"), "photo.tar.jpg");
    EXPECT_EQ(save_jpeg_name("photo"), "photo.jpg");
    EXPECT_EQ(save_jpeg_name(".hidden"), ".hidden.jpg");
}

}  // namespace
