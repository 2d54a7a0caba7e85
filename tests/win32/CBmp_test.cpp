// The image view in a host window: mouse messages drive frames and clicks, the notifications and
// the selection are checked, and the painted pixels are read back from the window.
#include "app/win32/CBmp.h"
#include "window_testing.h"

#include <gtest/gtest.h>

#include <utility>

#include <cstdio>
#include <filesystem>
#include <string>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "app/document_view.h"
#include "app/win32/bitmap.h"
#include "core/format.h"
#include "core/save.h"

namespace {

struct Recorded {
    ViewEvent event;
    bool has_text;
    std::wstring text;
    uint32_t colour;
};

int record(const ViewEvent* e)
{
    auto* list = static_cast<std::vector<Recorded>*>(e->context);
    Recorded r{*e, e->text != nullptr, e->text && e->text->text ? e->text->text : L"", e->text ? e->text->colour : 0};
    r.event.text = nullptr;
    list->push_back(r);
    return 1;
}

class ViewWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(display_tables_create());
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = L"ViewTestHost";
        RegisterClassW(&wc);
    }
    static void TearDownTestSuite() { display_tables_destroy(); }

    void SetUp() override
    {
        host = CreateWindowExW(0, L"ViewTestHost", L"host", WS_POPUP | WS_VISIBLE, 20, 20, 400, 300, nullptr,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(host, nullptr);
        window = CBmp::create(host, WS_VISIBLE, 0x00303030);
        ASSERT_NE(window, nullptr);
        MoveWindow(window, 0, 0, 400, 300, TRUE);
        view = CBmp::of(window);
        ASSERT_NE(view, nullptr);
        view->set_callback(record, &events);
    }
    void TearDown() override
    {
        if (window) DestroyWindow(window);
        if (host) DestroyWindow(host);
        for (Picture& p : pictures) picture_free(&p);
    }

    // A picture whose every pixel tells where it came from: red = 2x, green = 2y, blue = 128.
    Picture* gradient(int w, int h)
    {
        pictures.emplace_back();
        Picture* p = &pictures.back();
        EXPECT_EQ(picture_alloc(p, PIXEL_RGB, 4, w, h), 1);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t* px = picture_line(p, y) + x * 3;
                px[0] = static_cast<uint8_t>(2 * x);
                px[1] = static_cast<uint8_t>(2 * y);
                px[2] = 128;
            }
        return p;
    }

    // Shows a 400 x 300 picture at zoom 100: window and picture points are the same.
    void show_one_to_one()
    {
        Picture* p = gradient(400, 300);
        view->set_picture(p, false);
        view->set_display_mode(ViewDisplay::zoom);
        view->set_selection_mode(VIEW_SELECTION_ON);
        ASSERT_EQ(view->state().scroll_x, 0);
        ASSERT_EQ(view->state().scroll_y, 0);
    }

    void send(UINT message, int x, int y)
    {
        SendMessageW(window, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(x, y));
    }
    void drag(int x0, int y0, int x1, int y1)
    {
        send(WM_LBUTTONDOWN, x0, y0);
        send(WM_MOUSEMOVE, x1, y1);
        send(WM_LBUTTONUP, x1, y1);
    }
    void click(int x, int y)
    {
        send(WM_LBUTTONDOWN, x, y);
        send(WM_LBUTTONUP, x, y);
    }
    std::vector<int> codes() const
    {
        std::vector<int> c;
        for (const Recorded& r : events) c.push_back(r.event.code);
        return c;
    }
    ViewRect selection() const
    {
        ViewRect r{-1, -1, -1, -1};
        EXPECT_TRUE(view->selection(&r));
        return r;
    }

    // The client area as painted, read back from the window's device context.
    using Shot = window_testing::Shot;
    Shot shoot() { return window_testing::shoot(window); }

    HWND host = nullptr;
    HWND window = nullptr;
    CBmp* view = nullptr;
    std::vector<Recorded> events;
    std::deque<Picture> pictures;  // stable addresses
};

TEST_F(ViewWindow, IsAChildWithBothScrollBarStylesAndItsText)
{
    wchar_t text[16] = {};
    GetWindowTextW(window, text, 16);
    EXPECT_STREQ(text, L"view");
    EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_CHILD);
    EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_TABSTOP);
    EXPECT_EQ(CBmp::of(host), nullptr);  // not a view: operations find no object
    EXPECT_EQ(view->zoom(), 100);
    EXPECT_EQ(view->state().display_mode, ViewDisplay::fit);
}

TEST_F(ViewWindow, DrawResizeMoveAndClickAFrame)
{
    show_one_to_one();
    drag(10, 10, 50, 40);
    ASSERT_EQ(codes(), (std::vector<int>{3, 3, 4}));
    EXPECT_EQ(events[1].event.rect_width, 40);
    EXPECT_EQ(events[1].event.rect_height, 30);
    EXPECT_EQ(events[2].event.x, 50);
    EXPECT_EQ(events[2].event.window, window);
    EXPECT_EQ(events[2].event.context, &events);
    ViewRect s = selection();
    EXPECT_EQ(s.left, 10);
    EXPECT_EQ(s.bottom, 40);

    events.clear();
    drag(50, 40, 80, 60);  // bottom-right handle
    EXPECT_EQ(codes(), (std::vector<int>{3, 3, 4}));
    s = selection();
    EXPECT_EQ(s.right, 80);
    EXPECT_EQ(s.bottom, 60);

    events.clear();
    drag(45, 35, 145, 135);  // from inside: the frame moves, nothing is sent
    EXPECT_TRUE(events.empty());
    s = selection();
    EXPECT_EQ(s.left, 110);
    EXPECT_EQ(s.top, 110);
    EXPECT_EQ(s.right, 180);
    EXPECT_EQ(s.bottom, 160);
    EXPECT_EQ(GetCapture(), nullptr);

    events.clear();
    click(140, 130);
    ASSERT_EQ(codes(), (std::vector<int>{2}));
    EXPECT_EQ(events[0].event.x, 140);
    EXPECT_EQ(selection().left, 110);

    events.clear();
    click(300, 20);
    ASSERT_EQ(codes(), (std::vector<int>{3, 1}));
    EXPECT_EQ(events[0].event.rect_width, 0);
    ViewRect none;
    EXPECT_FALSE(view->selection(&none));
}

TEST_F(ViewWindow, DragTooSmallLeavesNoSelection)
{
    show_one_to_one();
    drag(10, 10, 60, 60);
    events.clear();
    drag(100, 100, 102, 140);
    ASSERT_EQ(codes(), (std::vector<int>{3, 3}));
    EXPECT_EQ(events[1].event.rect_width, 0);
    EXPECT_EQ(events[1].event.rect_height, 0);
    ViewRect none;
    EXPECT_FALSE(view->selection(&none));
}

TEST_F(ViewWindow, WithoutSelectionModeClicksStillCount)
{
    show_one_to_one();
    view->set_selection_mode(0);
    drag(10, 10, 60, 60);
    EXPECT_TRUE(events.empty());
    click(70, 80);
    ASSERT_EQ(codes(), (std::vector<int>{1}));
    EXPECT_EQ(events[0].event.y, 80);
    ViewRect none;
    EXPECT_FALSE(view->selection(&none));
}

TEST_F(ViewWindow, FrameShapeMakesAPrintSizedFrame)
{
    Picture* p = gradient(3000, 2400);
    p->x_dpi = p->y_dpi = 300;
    view->set_picture(p, false);
    view->set_selection_mode(VIEW_SELECTION_ON);
    view->set_frame_shape(16);
    ViewRect s = selection();
    EXPECT_EQ(s.right - s.left, 1204);
    EXPECT_EQ(s.bottom - s.top, 1795);
    view->clear_selection();
    EXPECT_FALSE(view->selection(&s));
}

TEST_F(ViewWindow, TextPlacementEndsByClickOrEscape)
{
    show_one_to_one();
    ViewFont font{-20, 700, false, false, false, L"Arial"};
    view->start_text(L"Joyeux anniversaire", font, 0x0000FF);
    EXPECT_EQ(view->state().drag_state, ViewDrag::text);
    EXPECT_GT(view->state().text_width, 20);
    EXPECT_EQ(GetCapture(), window);
    send(WM_MOUSEMOVE, 200, 150);
    EXPECT_EQ(view->state().text_y, 150 - view->state().text_height);
    shoot();  // painting the text must not disturb anything
    click(200, 150);
    ASSERT_EQ(codes(), (std::vector<int>{5}));
    EXPECT_TRUE(events[0].has_text);
    EXPECT_EQ(events[0].text, L"Joyeux anniversaire");
    EXPECT_EQ(events[0].colour, 0x0000FFu);
    EXPECT_EQ(events[0].event.x, 200 - view->state().text_width / 2);
    EXPECT_EQ(GetCapture(), nullptr);

    events.clear();
    view->start_text(L"Noël", font, 0);
    SendMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_EQ(codes(), (std::vector<int>{5}));
    EXPECT_FALSE(events[0].has_text);
    EXPECT_EQ(view->state().drag_state, ViewDrag::none);
}

TEST_F(ViewWindow, ZoomScrollsAndNeverDropsBelowOnePercent)
{
    view->set_picture(gradient(400, 300), false);
    view->set_zoom(200);
    EXPECT_EQ(view->zoom(), 200);
    EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_HSCROLL);
    const int before = view->state().scroll_x;
    SendMessageW(window, WM_HSCROLL, SB_LINERIGHT, 0);
    EXPECT_EQ(view->state().scroll_x, before + 1);
    SendMessageW(window, WM_HSCROLL, SB_RIGHT, 0);
    EXPECT_EQ(view->state().scroll_x, view->state().scroll_limit_x);
    for (int i = 0; i < 30; ++i) view->set_zoom(view->zoom() - 10);
    EXPECT_EQ(view->zoom(), 1);
    EXPECT_FALSE(GetWindowLongW(window, GWL_STYLE) & WS_HSCROLL);
    view->set_display_mode(ViewDisplay::fit);
    EXPECT_EQ(view->zoom(), 100);
}

TEST_F(ViewWindow, FitPaintsTheScaledPictureCentredOnTheBackground)
{
    view->set_picture(gradient(100, 100), false);  // shown 300 x 300 from x = 50
    const Shot shot = shoot();
    ASSERT_EQ(shot.width, 400);
    ASSERT_EQ(shot.height, 300);
    EXPECT_EQ(shot.at(10, 150), 0x00303030u);
    EXPECT_EQ(shot.at(395, 10), 0x00303030u);
    // Points in each of the four tiles (256 x 256, 44 x 256, 256 x 44, 44 x 44).
    const int points[][2] = {{50, 0}, {200, 100}, {320, 30}, {349, 200}, {60, 270}, {300, 299}, {349, 299}};
    for (const auto& pt : points) {
        const int sx = (pt[0] - 50) * 100 / 300, sy = pt[1] * 100 / 300;
        EXPECT_EQ(shot.at(pt[0], pt[1]), RGB(2 * sx, 2 * sy, 128)) << pt[0] << "," << pt[1];
    }
}

TEST_F(ViewWindow, GreyMappedAndBilevelPicturesPaintTheirColours)
{
    pictures.emplace_back();
    Picture* grey = &pictures.back();
    ASSERT_EQ(picture_alloc(grey, PIXEL_GREY, 1, 100, 100), 1);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) picture_line(grey, y)[x] = static_cast<uint8_t>(2 * x + y / 50);
    view->set_picture(grey, false);
    Shot shot = shoot();
    for (int x : {50, 200, 340})
        for (int y : {10, 290}) {
            const int v = 2 * ((x - 50) * 100 / 300) + (y * 100 / 300) / 50;
            EXPECT_EQ(shot.at(x, y), RGB(v, v, v)) << x << "," << y;
        }

    pictures.emplace_back();
    Picture* mapped = &pictures.back();
    ASSERT_EQ(picture_alloc(mapped, PIXEL_COLORS, 1, 3, 1), 1);
    const uint8_t index[3] = {0, 1, 2};
    std::memcpy(mapped->data, index, 3);
    mapped->colour_map[0] = 255;        // red
    mapped->colour_map[256 + 1] = 255;  // green
    mapped->colour_map[512 + 2] = 255;  // blue
    view->set_picture(mapped, false);   // 3 x 1 fitted: 400 x 133
    shot = shoot();
    EXPECT_EQ(shot.at(60, 150), RGB(255, 0, 0));
    EXPECT_EQ(shot.at(200, 150), RGB(0, 255, 0));
    EXPECT_EQ(shot.at(340, 150), RGB(0, 0, 255));

    pictures.emplace_back();
    Picture* bilevel = &pictures.back();
    ASSERT_EQ(picture_alloc(bilevel, PIXEL_BINARY, 1, 16, 16), 1);
    for (int y = 0; y < 16; ++y) picture_line(bilevel, y)[1] = 0xFF;  // right half white
    view->set_picture(bilevel, false);
    shot = shoot();
    EXPECT_EQ(shot.at(100, 100), RGB(0, 0, 0));
    EXPECT_EQ(shot.at(300, 200), RGB(255, 255, 255));
}

TEST_F(ViewWindow, SelectionDarkensTheOutsideAndDrawsTheFrame)
{
    show_one_to_one();
    view->set_frame_colour(0x0000FF);
    drag(100, 100, 300, 200);
    const Shot shot = shoot();
    // Inside: the picture as it is; outside: each byte lowered by 64.
    EXPECT_EQ(shot.at(200, 150), RGB(2 * 200 % 256, 2 * 150 % 256, 128));
    EXPECT_EQ(shot.at(50, 50), RGB(100 - 64, 100 - 64, 128 - 64));
    EXPECT_EQ(shot.at(20, 250), RGB(0, 500 % 256 - 64, 64));
    // The 3-pixel frame in its colour, midway along the top edge between the handles.
    EXPECT_EQ(shot.at(150, 100), RGB(255, 0, 0));
    EXPECT_EQ(shot.at(150, 101), RGB(255, 0, 0));
    // The top-left handle inverts what lies under it.
    EXPECT_EQ(shot.at(97, 97), RGB(255 - (194 - 64), 255 - (194 - 64), 255 - 64));

    if (const char* hold = std::getenv("LUMEVA_VIEW_HOLD_MS")) {
        const DWORD until = GetTickCount() + static_cast<DWORD>(std::atoi(hold));
        MSG msg;
        while (GetTickCount() < until) {
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            Sleep(20);
        }
    }
}

TEST_F(ViewWindow, OwnedPicturesAreFreedWithTheView)
{
    PictureHandle owned = PictureHandle::create();
    ASSERT_EQ(picture_alloc(owned.get(), PIXEL_GREY, 1, 50, 40), 1);
    view->show_owned(std::move(owned));
    EXPECT_EQ(owned, nullptr);
    view->set_picture(nullptr, false);  // frees the owned one
    EXPECT_EQ(view->picture(), nullptr);
    const Shot shot = shoot();
    EXPECT_EQ(shot.at(200, 150), 0x00303030u);
    auto* again = new Picture{};
    ASSERT_EQ(picture_alloc(again, PIXEL_BINARY, 1, 50, 40), 1);
    view->set_picture(again, true);
    DestroyWindow(window);  // and this one with the window
    window = nullptr;
    EXPECT_EQ(CBmp::of(window), nullptr);
}

TEST(ScreenBitmap, HoldsTheWholePictureCentredOnBlack)
{
    ASSERT_TRUE(display_tables_create());
    Picture p{};
    ASSERT_EQ(picture_alloc(&p, PIXEL_GREY, 4, 10, 6), 1);
    for (int y = 0; y < 6; ++y) std::memset(picture_line(&p, y), 200, 10);
    HWND desktop = GetDesktopWindow();
    HBITMAP b = display_screen_bitmap(desktop, &p, 20, 10);
    ASSERT_NE(b, nullptr);
    BITMAP info;
    GetObjectW(b, sizeof info, &info);
    EXPECT_EQ(info.bmWidth, 20);
    EXPECT_EQ(info.bmHeight, 10);
    HDC dc = GetDC(desktop);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, b);
    EXPECT_EQ(GetPixel(memory, 0, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(memory, 5, 2), RGB(200, 200, 200));
    EXPECT_EQ(GetPixel(memory, 14, 7), RGB(200, 200, 200));
    EXPECT_EQ(GetPixel(memory, 15, 8), RGB(0, 0, 0));
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(desktop, dc);
    DeleteObject(b);
    HBITMAP own = display_screen_bitmap(desktop, &p, 0, 0);
    ASSERT_NE(own, nullptr);
    GetObjectW(own, sizeof info, &info);
    EXPECT_EQ(info.bmWidth, 10);
    DeleteObject(own);
    picture_free(&p);
    display_tables_destroy();
}

}  // namespace

namespace {

// A document command reaches the window: the picture it shows is the document's new one.
TEST_F(ViewWindow, DocumentCommandsRepaintTheView)
{
    library_init();
    Picture quarters{};
    ASSERT_EQ(picture_alloc(&quarters, PIXEL_RGB, 4, 400, 300), 1);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x) {
            uint8_t* px = picture_line(&quarters, y) + 3 * x;
            px[0] = x < 200 ? 250 : 10;   // left half red
            px[1] = x < 200 ? 10 : 250;   // right half green
            px[2] = 10;
        }
    const std::string path = (std::filesystem::temp_directory_path() / "lumeva-view-document.jpg").string();
    SaveParams params;
    save_params_init(&params);
    params.format_index = static_cast<int16_t>(format_find_by_name("jpeg"));
    params.quality = 95;
    ASSERT_EQ(save_picture(path.c_str(), &quarters, &params), STATUS_OK);
    picture_free(&quarters);

    PictureViewForDocument adapter(view);
    PhotoDocument doc;
    doc.view = &adapter;
    document_set_undo(&doc, true);
    ASSERT_EQ(document_open(&doc, path.c_str()), STATUS_OK);
    view->set_display_mode(ViewDisplay::zoom);
    view->set_zoom(100);
    EXPECT_GT(GetRValue(shoot().at(20, 150)), 200);
    ASSERT_EQ(document_flip_horizontal(&doc), STATUS_OK);
    const Shot flipped = shoot();
    EXPECT_LT(GetRValue(flipped.at(20, 150)), 60);
    EXPECT_GT(GetGValue(flipped.at(20, 150)), 200);
    document_undo(&doc);
    EXPECT_GT(GetRValue(shoot().at(20, 150)), 200);
    document_release_all(&doc);
    std::remove(path.c_str());
    library_exit();
}

}  // namespace
