// The home screen's file list and the report view's texts.
#include "app/CFileList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/format.h"
#include "support/thumb_folder.h"

namespace {

class FileList : public ::testing::Test {
protected:
    void SetUp() override { library_init(); }
    void TearDown() override { library_exit(); }
};

TEST_F(FileList, HoldsEveryFileOfTheFolderInEnumerationOrderAndNoFolder)
{
    thumb_folder::Folder folder("list");
    ASSERT_TRUE(folder.fill_mixed());
    CFileList list;
    ASSERT_TRUE(list.read_folder(folder.path().c_str()));
    const std::vector<std::string> expected = folder.listed();
    ASSERT_EQ(list.count(), static_cast<int>(expected.size()));
    for (int i = 0; i < list.count(); ++i) {
        const CFileInfo& f = list.at(i);
        EXPECT_EQ(std::string(f.name()), expected[i]);
        EXPECT_EQ(std::string(f.path), folder.path() + expected[i]);
        EXPECT_EQ(f.size, thumb_folder::read_bytes(f.path).size());
        EXPECT_GT(f.write_time, 116444736000000000ull);  // after 1970
    }

    // Reading again starts from empty.
    ASSERT_TRUE(list.read_folder(folder.path().c_str()));
    EXPECT_EQ(list.count(), static_cast<int>(expected.size()));
}

TEST_F(FileList, AFolderThatCannotBeListedLeavesItEmpty)
{
    thumb_folder::Folder folder("gone");
    ASSERT_TRUE(folder.fill_many(3));
    CFileList list;
    ASSERT_TRUE(list.read_folder(folder.path().c_str()));
    ASSERT_EQ(list.count(), 3);
    EXPECT_FALSE(list.read_folder((folder.path() + "missing/").c_str()));
    EXPECT_EQ(list.count(), 0);
}

TEST_F(FileList, ReadingOutsideTheArrayRaisesCError)
{
    CFileList list;
    ASSERT_TRUE(list.add("/pictures/a.jpg", 10, 0, 0));
    EXPECT_STREQ(list.at(0).name(), "a.jpg");
    for (int bad : {-1, 1, 1000}) {
        try {
            list.at(bad);
            ADD_FAILURE() << "no error for index " << bad;
        } catch (const CError& e) {
            EXPECT_EQ(e.message(), "CFileInfo: Bad index");
            EXPECT_NE(e.file().find("CFileList"), std::string::npos);
            EXPECT_GT(e.line(), 0);
        }
    }
}

TEST_F(FileList, NameStartsAfterTheLastBackslashAndLongPathsAreLeftOut)
{
    CFileList list;
    ASSERT_TRUE(list.add("C:\\Users\\me\\Pictures\\photo.jpg", 1, 0, 0));
    EXPECT_STREQ(list.at(0).name(), "photo.jpg");
    EXPECT_FALSE(list.add(std::string(FILE_PATH_MAX, 'x').c_str(), 1, 0, 0));
    EXPECT_EQ(list.count(), 1);
}

TEST_F(FileList, FormatFilterAcceptsEverythingOrOneFormatsExtensions)
{
    EXPECT_TRUE(format_filter_accepts(-1, "notes.txt"));
    EXPECT_TRUE(format_filter_accepts(-1, "noextension"));
    const int jpeg = format_find_by_name("jpeg");
    ASSERT_GE(jpeg, 0);
    EXPECT_TRUE(format_filter_accepts(jpeg, "C:\\a\\photo.JPG"));
    EXPECT_TRUE(format_filter_accepts(jpeg, "photo.jpeg"));
    EXPECT_FALSE(format_filter_accepts(jpeg, "photo.png"));
    EXPECT_FALSE(format_filter_accepts(jpeg, "notes.txt"));
}

TEST(ReportTexts, SizesInBytesKilobytesMegabytesGigabytes)
{
    EXPECT_EQ(file_size_text(0), "0 Bytes");
    EXPECT_EQ(file_size_text(1023), "1023 Bytes");
    EXPECT_EQ(file_size_text(1024), "1.00 KB");
    EXPECT_EQ(file_size_text(1500), "1.46 KB");
    EXPECT_EQ(file_size_text(1024 * 1024 - 1), "1024.00 KB");
    EXPECT_EQ(file_size_text(1024 * 1024), "1.00 MB");
    EXPECT_EQ(file_size_text(5u * 1024 * 1024 + 512 * 1024), "5.50 MB");
    EXPECT_EQ(file_size_text(1024ull * 1024 * 1024), "1.00 GB");
    EXPECT_EQ(file_size_text(6000ull * 1024 * 1024 * 1024), "6000.00 GB");
}

TEST(ReportTexts, DatesInTheLocalesOrderWithFullYears)
{
    const DateParts afternoon{2026, 12, 6, 14, 5, 9};
    const DateParts midnight{2026, 3, 4, 0, 0, 0};
    DateStyle style;  // the fallback: day first, "/" and ":"
    EXPECT_EQ(file_date_text(style, afternoon), "06/12/2026 14:05");
    EXPECT_EQ(file_date_text(style, midnight), "04/03/2026");
    style.order = 0;
    style.date_separator = "-";
    EXPECT_EQ(file_date_text(style, afternoon), "12-06-2026 14:05");
    style.order = 2;
    style.date_separator = ".";
    style.time_separator = "h";
    EXPECT_EQ(file_date_text(style, afternoon), "2026.12.06 14h05");
    EXPECT_EQ(file_date_text(style, midnight), "2026.03.04");
    // A time of seconds only is not midnight.
    EXPECT_EQ(file_date_text(DateStyle{}, DateParts{2026, 3, 4, 0, 0, 7}), "04/03/2026 00:00");
}

TEST(ReportTexts, FileTimesTurnIntoLocalParts)
{
    // 2001-09-09 01:46:40 UTC; the local clock may differ by the zone, but not by a day and more.
    const uint64_t t = (1000000000ull + 11644473600ull) * 10000000ull;
    const DateParts parts = file_time_local_parts(t);
    EXPECT_EQ(parts.year, 2001);
    EXPECT_EQ(parts.month, 9);
    EXPECT_GE(parts.day, 8);
    EXPECT_LE(parts.day, 10);
    EXPECT_EQ(parts.second, 40);
}

TEST_F(FileList, PropertiesAndTypeFromTheThumbnailsFileInfo)
{
    FileInfo info{};
    info.width = 640;
    info.height = 480;
    info.planes = 1;
    info.bits_per_plane = 8;
    EXPECT_EQ(file_properties_text(info), "640x480,256");
    info.bits_per_plane = 1;
    EXPECT_EQ(file_properties_text(info), "640x480,2");
    info.planes = 4;  // four planes of one bit: sixteen colours
    EXPECT_EQ(file_properties_text(info), "640x480,16");
    info.planes = 3;
    info.bits_per_plane = 8;
    EXPECT_EQ(file_properties_text(info), "640x480,16M");
    info.planes = 1;
    info.bits_per_plane = 48;
    EXPECT_EQ(file_properties_text(info), "640x480,16M");

    info.format_index = static_cast<uint16_t>(format_find_by_name("jpeg"));
    EXPECT_EQ(file_type_text(info), "JPEG");
    info.format_index = 60000;
    EXPECT_EQ(file_type_text(info), "");
}

}  // namespace
