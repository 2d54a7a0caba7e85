// The thumbnail load the worker makes for each file of a folder.
#include "app/ThumbView.h"

#include <gtest/gtest.h>

#include <string>

#include "core/format.h"
#include "support/owned.h"
#include "support/thumb_folder.h"

namespace {

class ThumbnailLoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        library_init();
        ASSERT_TRUE(folder.fill_mixed());
    }
    void TearDown() override { library_exit(); }

    Status load(const std::string& name, Owned* pic, FileInfo* info)
    {
        return thumbnail_load(folder.file(name).c_str(), &pic->p, info, THUMB_BOX_WIDTH, THUMB_BOX_HEIGHT, true, false);
    }

    thumb_folder::Folder folder{"load"};
};

TEST_F(ThumbnailLoad, APhotoIsReducedIntoTheBoxWithPaddedLinesAndItsFileDescribed)
{
    Owned pic;
    FileInfo info{};
    ASSERT_EQ(load("photo.jpg", &pic, &info), STATUS_OK);
    EXPECT_LE(pic.p.width, THUMB_BOX_WIDTH);
    EXPECT_LE(pic.p.height, THUMB_BOX_HEIGHT);
    EXPECT_TRUE(pic.p.width == THUMB_BOX_WIDTH || pic.p.height == THUMB_BOX_HEIGHT);
    EXPECT_EQ(pic.p.type, static_cast<uint32_t>(PIXEL_RGB));
    EXPECT_EQ(pic.p.bytes_per_line % 4, 0);
    EXPECT_EQ(info.width, 400);
    EXPECT_EQ(info.height, 300);
    EXPECT_EQ(std::string(format_get_name(info.format_index)), "jpeg");
    for (int corner = 0; corner < 4; ++corner) EXPECT_EQ(thumb_folder::corner_colour(&pic.p, corner), corner);
}

TEST_F(ThumbnailLoad, ASmallPictureKeepsItsSize)
{
    Owned pic;
    FileInfo info{};
    ASSERT_EQ(load("small.jpg", &pic, &info), STATUS_OK);
    EXPECT_EQ(pic.p.width, 40);
    EXPECT_EQ(pic.p.height, 30);
}

TEST_F(ThumbnailLoad, APortraitStoredLyingDownStandsUprightInsideTheBox)
{
    Owned pic;
    FileInfo info{};
    ASSERT_EQ(load("portrait.jpg", &pic, &info), STATUS_OK);
    EXPECT_EQ(info.width, 300);  // the file as stored
    EXPECT_EQ(pic.p.height, THUMB_BOX_HEIGHT);
    EXPECT_NEAR(pic.p.width, 200 * THUMB_BOX_HEIGHT / 300, 1);
    for (int corner = 0; corner < 4; ++corner) EXPECT_EQ(thumb_folder::corner_colour(&pic.p, corner), corner);
}

TEST_F(ThumbnailLoad, ATruncatedPhotoGivesItsTopPart)
{
    Owned pic;
    FileInfo info{};
    ASSERT_EQ(load("cut.jpg", &pic, &info), STATUS_OK);
    EXPECT_LE(pic.p.width, THUMB_BOX_WIDTH);
    EXPECT_LE(pic.p.height, THUMB_BOX_HEIGHT);
    EXPECT_EQ(thumb_folder::corner_colour(&pic.p, 0), 0);
}

TEST_F(ThumbnailLoad, FilesThatAreNoPicturesFail)
{
    for (const char* name : {"empty.jpg", "notes.txt", "missing.jpg"}) {
        SCOPED_TRACE(name);
        Owned pic;
        FileInfo info{};
        EXPECT_NE(load(name, &pic, &info), STATUS_OK);
        EXPECT_EQ(pic.p.data, nullptr);
    }
}

int cancel_now(void*) { return 1; }

TEST_F(ThumbnailLoad, ACancelStopsTheLoad)
{
    Owned pic;
    FileInfo info{};
    const Status status = thumbnail_load(folder.file("photo.jpg").c_str(), &pic.p, &info, THUMB_BOX_WIDTH,
                                         THUMB_BOX_HEIGHT, true, false, cancel_now, nullptr);
    EXPECT_EQ(status, STATUS_STOPPED);
}

TEST(ThumbItemRecord, TakesPathNameSizeAndTimeFromTheFileList)
{
    CFileList list;
    ASSERT_TRUE(list.add("/p/holiday.jpg", 1500, 42, 0));
    ThumbItem item{};
    thumb_item_init(&item, list.at(0));
    EXPECT_STREQ(item.path, "/p/holiday.jpg");
    EXPECT_STREQ(item.name, "holiday.jpg");
    EXPECT_EQ(item.size, 1500u);
    EXPECT_EQ(item.write_time, 42u);
    EXPECT_EQ(item.icon_index, -1);
    EXPECT_EQ(item.done, 0);
    EXPECT_EQ(item.published.load(), 0);
}

}  // namespace
