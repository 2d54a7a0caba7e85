// The main window's commands on the real application: print formats with the quality lamp and the
// frame colour, Portrait, red-eye mode, zoom keeping the frame, the view's notifications, and both
// ways of saving, message boxes and the save dialog answered from a second thread.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/commands.h"
#include "app/print_format.h"
#include "app/win32/Briova.h"
#include "app/win32/CBmp.h"
#include "app/win32/LanguageTable.h"
#include "core/format.h"
#include "core/save.h"
#include "resources/resource.h"
#include "support/files.h"
#include "win32/dialog_driver.h"

namespace {

std::string temp_folder()
{
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return dir;
}

bool write_picture(const std::string& path, const char* format, int width, int height)
{
    Picture p{};
    if (!picture_alloc(&p, PIXEL_RGB, 4, width, height)) return false;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* px = picture_line(&p, y) + 3 * x;
            px[0] = static_cast<uint8_t>(x * 255 / width);
            px[1] = static_cast<uint8_t>(y * 255 / height);
            px[2] = 120;
        }
    SaveParams sp;
    save_params_init(&sp);
    sp.format_index = static_cast<int16_t>(format_find_by_name(format));
    const bool ok = save_picture(path.c_str(), &p, &sp) == STATUS_OK;
    picture_free(&p);
    return ok;
}

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The text of a message box (its static, id 0xFFFF).
std::wstring box_text(HWND box) { return item_text(box, 0xFFFF); }

// Answers the save dialog with a path typed into its name box.
void answer_save_dialog(HWND d, const std::string& path, std::wstring* proposed = nullptr)
{
    if (!d) return;
    HWND name = GetDlgItem(d, 0x480);
    if (!name) name = GetDlgItem(d, 0x47C);
    if (proposed) {
        wchar_t t[MAX_PATH] = {};
        GetWindowTextW(name, t, MAX_PATH);
        *proposed = t;
    }
    if (path.empty()) {
        PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    SetWindowTextA(name, path.c_str());
    PostMessageW(d, WM_COMMAND, IDOK, 0);
}

class Commands : public ::testing::Test {
protected:
    static void SetUpTestSuite() { app = new Application(GetModuleHandleW(nullptr)); }
    static void TearDownTestSuite()
    {
        app->document.modified = false;
        delete app;
        app = nullptr;
        // The main window's end posted the quit message: it would end the next dialog at once.
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    void SetUp() override
    {
        ASSERT_TRUE(app->started());
        const std::string base = temp_folder() + "lumeva_cmd_" + std::to_string(GetCurrentProcessId()) + "_" +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
        jpeg = base + ".jpg";
        png = base + ".png";
        ASSERT_TRUE(write_picture(jpeg, "jpeg", 1800, 1200));
    }
    void TearDown() override
    {
        app->document.modified = false;
        app->back_to_home();
        for (const std::string& f : made) {
                DeleteFileA(f.c_str());
        }
        DeleteFileA(jpeg.c_str());
        DeleteFileA(png.c_str());
    }

    void run(int command) { SendMessageW(app->window(), WM_COMMAND, MAKEWPARAM(command, 0), 0); }
    // A command that shows a modal window, worked by `drive` from another thread.
    void run_driven(int command, std::function<void(HWND)> drive)
    {
        with_driver([&] { run(command); return 0; }, drive);
    }
    bool selection(ViewRect* r) { return app->view()->selection(r); }

    static Application* app;
    std::string jpeg, png;
    std::vector<std::string> made;
};
Application* Commands::app = nullptr;

TEST_F(Commands, OpeningRatesTheWholePictureAndAFormatRatesItsFrame)
{
    ASSERT_TRUE(app->open_photo(jpeg.c_str()));
    EXPECT_FALSE(app->home_shown);
    EXPECT_EQ(app->info_panel.level(), QUALITY_OPTIMAL);  // 1800 x 1200 for 10x15
    EXPECT_TRUE(IsWindowVisible(app->info_panel.window()));

    run(40027);  // "10x15"
    ViewRect r;
    ASSERT_TRUE(selection(&r));
    // 152 x 102 mm at 72 dpi.
    EXPECT_EQ(r.right - r.left, 430);
    EXPECT_EQ(r.bottom - r.top, 289);
    EXPECT_EQ(app->view()->state().frame_shape, 33);
    EXPECT_EQ(app->info_panel.level(), QUALITY_INSUFFICIENT);
    EXPECT_EQ(app->view()->frame_colour(), 0x0000FFu);
    EXPECT_EQ(app->print_format, 1);

    run(IDM_PORTRAIT);
    EXPECT_TRUE(app->portrait);
    EXPECT_EQ(app->view()->state().frame_shape, 16);
    ASSERT_TRUE(selection(&r));
    EXPECT_EQ(r.right - r.left, 289);
    EXPECT_EQ(r.bottom - r.top, 430);
    run(IDM_PORTRAIT);
    EXPECT_FALSE(app->portrait);
}

TEST_F(Commands, PortraitInRedEyeModeKeepsTheFrameShape)
{
    ASSERT_TRUE(app->open_photo(jpeg.c_str()));
    run(IDM_REDEYES);
    EXPECT_TRUE(app->red_eye_mode);
    EXPECT_EQ(app->view()->frame_colour(), 0x0000FFu);
    const bool was = app->portrait;
    run(IDM_PORTRAIT);
    EXPECT_NE(app->portrait, was);
    EXPECT_EQ(app->view()->state().frame_shape, 0);
    // A format ends red-eye mode.
    run(40026);
    EXPECT_FALSE(app->red_eye_mode);
    if (app->portrait) run(IDM_PORTRAIT);
}

TEST_F(Commands, ZoomKeepsTheFrameOtherCommandsClearIt)
{
    ASSERT_TRUE(app->open_photo(jpeg.c_str()));
    run(40027);
    ViewRect r;
    ASSERT_TRUE(selection(&r));
    const int zoom = app->view()->zoom();
    run(IDM_ZOOMIN);
    EXPECT_EQ(app->view()->zoom(), zoom + 10);
    EXPECT_TRUE(selection(&r));
    run(IDM_HFLIP);
    EXPECT_FALSE(selection(&r));
    EXPECT_TRUE(app->document.modified);
    run(IDM_UNDOLAST);
    EXPECT_FALSE(app->document.modified);
}

TEST_F(Commands, ClickInsideTheFrameCrops)
{
    ASSERT_TRUE(app->open_photo(jpeg.c_str()));
    run(40027);
    ViewRect r;
    ASSERT_TRUE(selection(&r));
    HWND view = app->view_window();
    const int x = view_picture_to_window_x(&app->view()->state(), (r.left + r.right) / 2);
    const int y = view_picture_to_window_y(&app->view()->state(), (r.top + r.bottom) / 2);
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    ASSERT_NE(app->document.current_picture, nullptr);
    EXPECT_EQ(app->document.current_picture->width, 430);
    EXPECT_EQ(app->document.current_picture->height, 289);
    EXPECT_FALSE(selection(&r));
    EXPECT_EQ(app->info_panel.level(), QUALITY_INSUFFICIENT);
    EXPECT_EQ(app->status_text.text(), text(IDS_STATUS_VIEW));
}

TEST_F(Commands, SameNameAfterNewNameWritesTheOpenedFile)
{
    ASSERT_TRUE(app->open_photo(jpeg.c_str()));
    const std::string original = read_file(jpeg);
    run(IDM_SEPIA);
    ASSERT_TRUE(app->document.modified);
    const std::string other = temp_folder() + "lumeva_cmd_other_" + std::to_string(GetCurrentProcessId());
    made.push_back(other + ".jpg");
    std::wstring title;
    run_driven(IDM_SAVEASFILE, [&](HWND d) {
        if (d) {
            wchar_t t[64] = {};
            GetWindowTextW(d, t, 64);
            title = t;
        }
        answer_save_dialog(d, other);  // typed without its extension
    });
    EXPECT_EQ(title, L"Sauver sous...");
    EXPECT_TRUE(exists(other + ".jpg"));
    EXPECT_FALSE(app->document.modified);
    EXPECT_EQ(app->document.file_name, jpeg);
    EXPECT_EQ(read_file(jpeg), original);

    std::wstring question;
    run_driven(IDM_SAVEFILE, [&](HWND d) {
        if (!d) return;
        question = box_text(d);
        PostMessageW(d, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(question, L"Voulez-vous vraiment \u00e9craser le fichier?");
    EXPECT_NE(read_file(jpeg), original);
    EXPECT_EQ(read_file(jpeg), read_file(other + ".jpg"));
}

TEST_F(Commands, SameNameNeverOverwritesAPngWithJpegData)
{
    ASSERT_TRUE(write_picture(png, "png", 300, 200));
    ASSERT_TRUE(app->open_photo(png.c_str()));
    const std::string original = read_file(png);
    run(IDM_SEPIA);
    std::wstring proposed;
    run_driven(IDM_SAVEFILE, [&](HWND d) { answer_save_dialog(d, std::string(), &proposed); });
    std::string folder, name;
    const size_t slash = png.find_last_of('\\');
    name = png.substr(slash + 1);
    const std::wstring expected(name.begin(), name.end() - 4);
    EXPECT_EQ(proposed, expected + L".jpg");
    EXPECT_EQ(read_file(png), original);
    EXPECT_TRUE(app->document.modified);  // cancelled: nothing saved

    // Another name: the proposed one is taken by this test's JPEG photo.
    const std::string beside = png.substr(0, png.size() - 4) + "_beside.jpg";
    made.push_back(beside);
    run_driven(IDM_SAVEFILE, [&](HWND d) { answer_save_dialog(d, beside); });
    EXPECT_EQ(read_file(png), original);
    EXPECT_TRUE(exists(beside));
    EXPECT_FALSE(app->document.modified);
}

TEST_F(Commands, FailedSaveShowsTheProblemAndKeepsThePhoto)
{
    ASSERT_TRUE(app->open_photo(jpeg.c_str()));
    run(IDM_SEPIA);
    // Another program holds the photo open for reading: it may be read, not replaced.
    HANDLE held = CreateFileA(jpeg.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::wstring question, problem;
    run_driven(IDM_SAVEFILE, [&](HWND d) {
        if (!d) return;
        question = box_text(d);
        PostMessageW(d, WM_COMMAND, IDOK, 0);
        HWND p = wait_for_dialog(GetWindowThreadProcessId(d, nullptr), d);
        if (!p) return;
        problem = box_text(p);
        PostMessageW(p, WM_COMMAND, IDOK, 0);
    });
    CloseHandle(held);
    EXPECT_FALSE(question.empty());
    const std::wstring path(jpeg.begin(), jpeg.end());
    EXPECT_NE(problem.find(L"Un probl\u00e8me est survenue"), std::wstring::npos);
    EXPECT_NE(problem.find(L"<" + path + L">"), std::wstring::npos);
    EXPECT_TRUE(app->document.modified);
    EXPECT_NE(app->document.current_picture, nullptr);
}

TEST_F(Commands, AddTextPlacesAndStampsWithTheMouse)
{
    ASSERT_TRUE(app->open_photo(jpeg.c_str()));
    run_driven(IDM_ADDTEXT, [&](HWND d) {
        if (!d) return;
        SetDlgItemTextW(d, IDC_TEXT, L"Lumeva");
        click(d, IDOK);
    });
    EXPECT_EQ(app->view()->state().drag_state, ViewDrag::text);
    EXPECT_EQ(app->status_text.text(), text(IDS_STATUS_TEXT));
    EXPECT_FALSE(app->document.modified);

    HWND view = app->view_window();
    RECT client;
    GetClientRect(view, &client);
    SendMessageW(view, WM_MOUSEMOVE, 0, MAKELPARAM(client.right / 2, client.bottom / 2));
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.right / 2, client.bottom / 2));
    SendMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(client.right / 2, client.bottom / 2));
    EXPECT_EQ(app->view()->state().drag_state, ViewDrag::none);
    EXPECT_TRUE(app->document.modified);
    ASSERT_NE(app->document.undo_picture, nullptr);
    EXPECT_NE(std::memcmp(app->document.undo_picture->data, app->document.current_picture->data,
                          picture_data_size(app->document.current_picture.get())),
              0);
    // The main window had the message and took its notifications back.
    EXPECT_EQ(app->status_text.text(), text(IDS_STATUS_VIEW));
    run(40027);
    ViewRect r;
    ASSERT_TRUE(selection(&r));
    const int x = view_picture_to_window_x(&app->view()->state(), (r.left + r.right) / 2);
    const int y = view_picture_to_window_y(&app->view()->state(), (r.top + r.bottom) / 2);
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    EXPECT_EQ(app->document.current_picture->width, 430);
}

}  // namespace
