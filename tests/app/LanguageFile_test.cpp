// The language file as translators write it, and as they get it wrong.
#include "app/LanguageFile.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/files.h"

namespace {

LanguageFile from(const std::string& text)
{
    LanguageFile f;
    f.open_bytes(text);
    return f;
}

// One menu level walked as the window side walks it: the items' commands in order, 0 for
// separators (which are skipped).
std::vector<std::string> walk(LanguageFile& f, const std::vector<int>& commands)
{
    std::vector<std::string> out;
    f.begin_menu();
    for (int c : commands) {
        if (c == 0) {
            out.push_back("-");
            continue;
        }
        auto v = f.menu_item(c);
        out.push_back(v ? *v : "");
    }
    return out;
}

}  // namespace

TEST(LanguageCode, FrenchAndEmptyUseNoFile)
{
    EXPECT_FALSE(language_code_uses_file(""));
    EXPECT_FALSE(language_code_uses_file("fr"));
    EXPECT_FALSE(language_code_uses_file("FR"));
    EXPECT_FALSE(language_code_uses_file("fR"));
    EXPECT_TRUE(language_code_uses_file("en"));
    EXPECT_TRUE(language_code_uses_file("fra"));
    EXPECT_EQ(language_file_path("C:\\Lumeva\\Lumeva.exe", "en"), "C:\\Lumeva\\en.lng");
}

TEST(LanguageKeys, NamesByNumber)
{
    EXPECT_STREQ(language_string_key(1), "IDS_QUIT");
    EXPECT_STREQ(language_string_key(27), "IDS_INFO_RED");
    EXPECT_EQ(language_string_key(3), nullptr);  // "Zoom" has no key
    EXPECT_STREQ(language_menu_key(40019), "IDM_BLUR");
    EXPECT_EQ(language_menu_key(40026), nullptr);  // the print formats keep their texts
    int strings = 0;
    for (int id = 0; id < 40; ++id) strings += language_string_key(id) != nullptr;
    EXPECT_EQ(strings, 26);
}

TEST(LanguageStrings, BlanksAroundTheEqualsSignAndAfterTheValueGo)
{
    LanguageFile f = from("[String]\r\nIDS_QUIT \t=  \tQuit  \r\nids_crop=Crop\n");
    EXPECT_EQ(f.string(1).value_or("?"), "Quit");
    EXPECT_EQ(f.string(2).value_or("?"), "Crop");  // keys compare without case
    EXPECT_FALSE(f.string(4));
}

TEST(LanguageStrings, OneCharacterValuesAreAbsentAndTheSearchGoesOn)
{
    LanguageFile f = from("[String]\nIDS_UNDO=U\nIDS_UNDO=Undo\nIDS_SAVE=S\n");
    EXPECT_EQ(f.string(5).value_or("?"), "Undo");
    EXPECT_FALSE(f.string(7));
}

TEST(LanguageStrings, OnlyTheirSectionCountsAndLinesWithoutEqualsAreSkipped)
{
    LanguageFile f = from(
        "; a comment\nIDS_QUIT=Before any section\n[Menu]\nIDS_BACK=Wrong section\n[String]\nno equals here\n"
        "IDS_QUIT=Quit\n[IDD_ABOUT]\nIDS_BACK=Too late\n");
    EXPECT_EQ(f.string(1).value_or("?"), "Quit");
    EXPECT_FALSE(f.string(8));  // stands in the other sections only
}

TEST(LanguageStrings, AKeyMissingInOneSectionIsNotTakenFromAnother)
{
    LanguageFile f = from("[IDD_ABOUT]\nIDD_ABOUT=About\nIDC_TEXT=Photo retouching\n[String]\nIDS_ABOUT=About\n");
    EXPECT_EQ(f.dialog_title("IDD_ABOUT").value_or("?"), "About");
    EXPECT_EQ(f.dialog_control("IDC_TEXT").value_or("?"), "Photo retouching");
    EXPECT_FALSE(f.dialog_control("IDS_ABOUT"));
    EXPECT_FALSE(f.dialog_title("IDD_FONT"));
    EXPECT_FALSE(f.dialog_control("IDC_TEXT"));  // the missing section is now the one remembered
}

TEST(LanguageStrings, WindowsCodePageBytesArriveUnchanged)
{
    const std::string value = "R\xE9" "duction \xE0 gauche";
    LanguageFile f = from("[String]\nIDS_ZOOMOUT=" + value + "\r\n");
    EXPECT_EQ(f.string(20).value_or("?"), value);
}

TEST(LanguageStrings, LongLinesAreReadInPieces)
{
    // The key's line is cut at 511 bytes; the rest is a line of its own.
    const std::string long_value(600, 'x');
    LanguageFile f = from("[String]\nIDS_QUIT=" + long_value + "\nIDS_CROP=Crop\n");
    EXPECT_EQ(f.string(1).value_or("?"), std::string(511 - 9, 'x'));
    EXPECT_EQ(f.string(2).value_or("?"), "Crop");
}

TEST(LanguageStrings, ASectionNameIsOnlyThePrefixOfItsLine)
{
    LanguageFile f = from("[Strings and more\nIDS_QUIT=Quit\n");
    EXPECT_EQ(f.string(1).value_or("?"), "Quit");
    LanguageFile g = from("[string]\nIDS_QUIT=Quit\n");  // section names keep their case
    EXPECT_FALSE(g.string(1));
}

TEST(LanguageMenu, TranslatesOnlyTheItemsItNamesInMenuOrder)
{
    // The retouch menu's items, separators as 0.
    const std::vector<int> retouch = {40016, 40017, 40018, 0, 40019, 40020, 0, 40021, 40022, 0, 40023, 40024};
    LanguageFile f = from(
        "[Menu]\nIDM_BLUR=Blur\nIDM_BALANCE=Colours\nIDM_AUTOCONTRAST=Auto contrast\nIDM_AUTOLEVELS=Auto levels\n"
        "IDM_ENHANCE=Sharpen\nIDM_BINARY=Black and white\nIDM_SEPIA=Sepia\nIDM_ADDTEXT=Add a text\n"
        "IDM_REDEYES=Red eyes\n");
    const std::vector<std::string> got = walk(f, retouch);
    EXPECT_EQ(got[0], "Colours");
    EXPECT_EQ(got[1], "Auto contrast");
    EXPECT_EQ(got[2], "Auto levels");
    // "Blur" stood before the point the walk had reached: it and everything after keep theirs.
    for (size_t i = 4; i < got.size(); ++i)
        if (got[i] != "-") {
            EXPECT_EQ(got[i], "") << i;
        }
}

TEST(LanguageMenu, EachMenuLevelStartsAgainAtTheSection)
{
    LanguageFile f = from("[Menu]\nIDM_ROTATEL90=Left\nIDM_ROTATER90=Right\nIDM_UNDOLAST=Last\n");
    EXPECT_EQ(walk(f, {40012, 40013}), (std::vector<std::string>{"Last", ""}));
    EXPECT_EQ(walk(f, {40008, 40009, 0, 40010}), (std::vector<std::string>{"Left", "Right", "-", ""}));
    EXPECT_EQ(walk(f, {40026, 40025}), (std::vector<std::string>{"", ""}));  // no keys for the formats
}

TEST(LanguageFiles, AFileThatCannotBeReadIsNoFile)
{
    LanguageFile f;
    EXPECT_FALSE(f.open("/nonexistent/folder/en.lng"));
    EXPECT_FALSE(f.is_open());
    EXPECT_FALSE(f.string(1));
    EXPECT_FALSE(f.dialog_title("IDD_ABOUT"));
}

TEST(LanguageFiles, TheShippedEnglishFileNamesEveryKey)
{
    LanguageFile f;
    ASSERT_TRUE(f.open(std::string(LUMEVA_SOURCE_DIR) + "/resources/en.lng"));
    for (int id = 1; id <= 27; ++id)
        if (language_string_key(id)) {
            EXPECT_TRUE(f.string(id)) << language_string_key(id);
        }
    EXPECT_EQ(f.string(1).value_or("?"), "Quit");
    EXPECT_TRUE(f.dialog_title("IDD_ABOUT"));
    // Every menu level translates completely: the keys stand in the menus' order.
    const std::vector<std::vector<int>> menus = {
        {40002, 40003, 40004}, {40025}, {40008, 40009, 0, 40010, 40011},
        {40016, 40017, 40018, 0, 40019, 40020, 0, 40021, 40022, 0, 40023, 40024}, {40012, 40013}, {40014, 40015}};
    for (const auto& menu : menus)
        for (const std::string& item : walk(f, menu)) EXPECT_NE(item, "");
}
