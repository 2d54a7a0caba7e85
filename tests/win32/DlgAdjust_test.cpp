// The adjust-colours dialog with a real photo file: start values, a slider moved by message, the
// after preview recomputed from the loaded picture, "Appliquer" and "Cancel".
#include "app/win32/DlgAdjust.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstring>
#include <string>

#include "app/win32/bitmap.h"
#include "core/format.h"
#include "core/save.h"
#include "resources/resource.h"
#include "win32/dialog_driver.h"

namespace {

class AdjustDialog : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        library_init();
        display_tables_create();
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
    }
    static void TearDownTestSuite()
    {
        display_tables_destroy();
        library_exit();
    }

    void SetUp() override
    {
        char dir[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        path = std::string(dir) + "lumeva_adjust_" + std::to_string(GetCurrentProcessId()) + ".png";
        // A flat grey photo, lossless so that the previews read exact values.
        Picture p{};
        ASSERT_EQ(picture_alloc(&p, PIXEL_RGB, 4, 120, 80), 1);
        std::memset(p.data, 100, picture_data_size(&p));
        SaveParams sp;
        save_params_init(&sp);
        sp.format_index = static_cast<int16_t>(format_find_by_name("png"));
        ASSERT_EQ(save_picture(path.c_str(), &p, &sp), STATUS_OK);
        picture_free(&p);
    }
    void TearDown() override { DeleteFileA(path.c_str()); }

    std::string path;
};

TEST_F(AdjustDialog, StartsAtNoChangeAndAppliesThat)
{
    DlgAdjust dialog(nullptr, path);
    std::wstring gamma, brightness, title;
    int before_width = 0;
    const INT_PTR answer = with_driver([&] { return dialog.run(); },
                                       [&](HWND d) {
                                           if (!d) return;
                                           gamma = item_text(d, IDC_GAMMA_VALUE);
                                           brightness = item_text(d, IDC_BRIGHTNESS_VALUE);
                                           wchar_t t[64] = {};
                                           GetWindowTextW(d, t, 64);
                                           title = t;
                                           if (dialog.before().current_picture)
                                               before_width = dialog.before().current_picture->width;
                                           click(d, IDOK);
                                       });
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(title, L"Ajuster les couleurs");
    EXPECT_EQ(gamma, L"1.00");
    EXPECT_EQ(brightness, L"0");
    // The preview is the photo reduced into its frame, never larger than the file.
    EXPECT_GT(before_width, 0);
    EXPECT_LE(before_width, 120);
    const AdjustResult& r = dialog.result();
    EXPECT_EQ(r.brightness, 0);
    EXPECT_EQ(r.contrast, 0);
    EXPECT_DOUBLE_EQ(r.gamma, 1.0);
    EXPECT_EQ(r.red | r.green | r.blue, 0);

    // What the main window does with it: an unchanged photo, marked modified, with an undo state.
    PhotoDocument doc;
    document_set_undo(&doc, true);
    ASSERT_EQ(document_open(&doc, path.c_str()), STATUS_OK);
    document_adjust(&doc, r.brightness, r.contrast, r.gamma, r.red, r.green, r.blue);
    EXPECT_TRUE(doc.modified);
    ASSERT_NE(doc.undo_picture, nullptr);
    EXPECT_EQ(picture_line(doc.current_picture.get(), 40)[60 * 3], 100);
    EXPECT_EQ(std::memcmp(doc.current_picture->data, doc.undo_picture->data,
                          picture_data_size(doc.current_picture.get())), 0);
    document_release_all(&doc);
}

TEST_F(AdjustDialog, SliderDragUpdatesItsFieldAndTheAfterPreview)
{
    DlgAdjust dialog(nullptr, path);
    std::wstring red_text, gamma_text;
    int after_red = -1, after_green = -1, before_red = -1, after_red_second = -1;
    const INT_PTR answer = with_driver([&] { return dialog.run(); },
                                       [&](HWND d) {
                                           if (!d) return;
                                           HWND red = GetDlgItem(d, IDC_RED);
                                           SendMessageW(red, TBM_SETPOS, TRUE, 127 + 60);
                                           SendMessageW(d, WM_VSCROLL, MAKEWPARAM(TB_THUMBTRACK, 127 + 60),
                                                        reinterpret_cast<LPARAM>(red));
                                           red_text = item_text(d, IDC_RED_VALUE);
                                           after_red = dialog.after().current_picture->data[0];
                                           after_green = dialog.after().current_picture->data[1];
                                           before_red = dialog.before().current_picture->data[0];
                                           // A second move starts again from the loaded picture.
                                           SendMessageW(red, TBM_SETPOS, TRUE, 127 + 10);
                                           SendMessageW(d, WM_VSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 127 + 10),
                                                        reinterpret_cast<LPARAM>(red));
                                           after_red_second = dialog.after().current_picture->data[0];
                                           // A keyboard step moves the slider but not its field.
                                           HWND gamma = GetDlgItem(d, IDC_GAMMA);
                                           SendMessageW(gamma, TBM_SETPOS, TRUE, 1);
                                           SendMessageW(d, WM_VSCROLL, MAKEWPARAM(TB_LINEDOWN, 0),
                                                        reinterpret_cast<LPARAM>(gamma));
                                           gamma_text = item_text(d, IDC_GAMMA_VALUE);
                                           click(d, IDCANCEL);
                                       });
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(red_text, L"60");
    EXPECT_EQ(before_red, 100);
    EXPECT_EQ(after_red, 160);
    EXPECT_EQ(after_green, 100);
    EXPECT_EQ(after_red_second, 110);
    EXPECT_EQ(gamma_text, L"1.00");
    // Cancel still reports the final positions.
    EXPECT_EQ(dialog.result().red, 10);
    EXPECT_DOUBLE_EQ(dialog.result().gamma, 0.01);
}

TEST_F(AdjustDialog, WithoutAPhotoThePreviewsStayEmpty)
{
    DlgAdjust dialog(nullptr, std::string());
    bool empty = false;
    with_driver([&] { return dialog.run(); },
                [&](HWND d) {
                    if (!d) return;
                    empty = !dialog.before().current_picture && !dialog.after().current_picture;
                    click(d, IDCANCEL);
                });
    EXPECT_TRUE(empty);
}

}  // namespace
