#include <gtest/gtest.h>

#include <cstring>

#include "editing/adjust.h"
#include "support/owned.h"

namespace {

TEST(AdjustScales, StartValuesMeanNoChange)
{
    int p[ADJUST_SLIDERS];
    for (int i = 0; i < ADJUST_SLIDERS; ++i) p[i] = adjust_scale(i).start;
    const AdjustResult r = adjust_result(p);
    EXPECT_EQ(r.brightness, 0);
    EXPECT_EQ(r.contrast, 0);
    EXPECT_DOUBLE_EQ(r.gamma, 1.0);
    EXPECT_EQ(r.red, 0);
    EXPECT_EQ(r.green, 0);
    EXPECT_EQ(r.blue, 0);
    EXPECT_EQ(adjust_scale(ADJUST_GAMMA).minimum, 1);
    EXPECT_EQ(adjust_scale(ADJUST_GAMMA).maximum, 1000);
    EXPECT_EQ(adjust_scale(ADJUST_RED).maximum, 254);
}

TEST(AdjustScales, ValueTexts)
{
    char t[16];
    adjust_value_text(ADJUST_GAMMA, 100, t, sizeof t);
    EXPECT_STREQ(t, "1.00");
    adjust_value_text(ADJUST_GAMMA, 1, t, sizeof t);
    EXPECT_STREQ(t, "0.01");
    adjust_value_text(ADJUST_GAMMA, 1000, t, sizeof t);
    EXPECT_STREQ(t, "10.00");
    adjust_value_text(ADJUST_BRIGHTNESS, 0, t, sizeof t);
    EXPECT_STREQ(t, "-127");
    adjust_value_text(ADJUST_BLUE, 254, t, sizeof t);
    EXPECT_STREQ(t, "127");
}

// Each preview starts from the loaded picture: two moves give the second move's result alone.
TEST(AdjustPreview, StartsFromTheLoadedPictureEachTime)
{
    PhotoDocument after;
    after.current_picture = PictureHandle::create();
    ASSERT_EQ(picture_alloc(after.current_picture.get(), PIXEL_RGB, 4, 8, 4), 1);
    std::memset(after.current_picture->data, 100, picture_data_size(after.current_picture.get()));
    document_set_undo(&after, true);

    int p[ADJUST_SLIDERS] = {127, 127, 100, 127, 127, 127};
    p[ADJUST_RED] = 127 + 50;
    adjust_preview_update(&after, p);
    EXPECT_EQ(picture_line(after.current_picture.get(), 0)[0], 150);
    p[ADJUST_RED] = 127 + 20;
    adjust_preview_update(&after, p);
    EXPECT_EQ(picture_line(after.current_picture.get(), 0)[0], 120);
    EXPECT_EQ(picture_line(after.current_picture.get(), 3)[1], 100);
    // Back at the start positions the preview is the loaded picture again.
    p[ADJUST_RED] = 127;
    adjust_preview_update(&after, p);
    EXPECT_EQ(picture_line(after.current_picture.get(), 0)[0], 100);
    document_release_all(&after);
}

}  // namespace
