// The image view's layout, coordinates, hit zones, shape rule and mouse state machine.
#include "app/CBmp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

ViewState view_of(int w, int h, int dpi = 0)
{
    Picture p{};
    p.width = w;
    p.height = h;
    p.x_dpi = p.y_dpi = dpi;
    uint8_t byte = 0;
    p.data = &byte;  // only the record's sizes matter here
    ViewState v;
    view_state_init(&v);
    view_state_set_picture(&v, &p);
    return v;
}

ViewLayout lay_out(ViewState* v, int cw, int ch, bool bars_shown = false)
{
    ViewLayoutInput in{cw, ch, 16, 16, bars_shown, bars_shown, false};
    ViewLayout out;
    view_layout(v, in, &out);
    return out;
}

// A view at zoom 100 without scrolling, frames allowed.
ViewState framing_view(int w = 400, int h = 300)
{
    ViewState v = view_of(w, h);
    view_set_display_mode(&v, ViewDisplay::zoom);
    lay_out(&v, w, h);
    view_set_selection_mode(&v, VIEW_SELECTION_ON);
    return v;
}

void select(ViewState& v, const ViewRect& r)
{
    v.selection = r;
    v.state_flags |= VIEW_HAS_SELECTION;
}

std::vector<int> codes(const ViewReaction& r)
{
    std::vector<int> c;
    for (int i = 0; i < r.event_count; ++i) c.push_back(r.events[i].code);
    return c;
}

void expect_rect(const ViewEvent& e, int x, int y, int w, int h)
{
    EXPECT_EQ(e.rect_x, x);
    EXPECT_EQ(e.rect_y, y);
    EXPECT_EQ(e.rect_width, w);
    EXPECT_EQ(e.rect_height, h);
}

void expect_selection(const ViewState& v, int l, int t, int r, int b)
{
    ASSERT_TRUE(view_has_selection(&v));
    EXPECT_EQ(v.selection.left, l);
    EXPECT_EQ(v.selection.top, t);
    EXPECT_EQ(v.selection.right, r);
    EXPECT_EQ(v.selection.bottom, b);
}

TEST(ViewLayout, FitCentresAndEnlargesASmallPicture)
{
    ViewState v = view_of(100, 100);
    const ViewLayout out = lay_out(&v, 400, 300);
    EXPECT_TRUE(out.rebuild);
    EXPECT_FALSE(out.horizontal.shown);
    EXPECT_FALSE(out.vertical.shown);
    EXPECT_EQ(v.display_width, 300);
    EXPECT_EQ(v.display_height, 300);
    EXPECT_EQ(v.scroll_x, -50);
    EXPECT_EQ(v.scroll_y, 0);
    EXPECT_EQ(v.zoom_x, 300);
    EXPECT_DOUBLE_EQ(v.zoom_y_exact, 300.0);
}

TEST(ViewLayout, FitLimitedByWidthAndCountingBarsBeingRemoved)
{
    ViewState v = view_of(1000, 200);
    lay_out(&v, 384, 284, true);  // the bars' room belongs to the picture again
    EXPECT_EQ(v.display_width, 400);
    EXPECT_EQ(v.display_height, 80);
    EXPECT_EQ(v.scroll_x, 0);
    EXPECT_EQ(v.scroll_y, -110);
    EXPECT_EQ(v.zoom_x, 40);
}

TEST(ViewLayout, FitNeverGivesAZeroZoom)
{
    ViewState v = view_of(30000, 10);
    lay_out(&v, 200, 100);
    EXPECT_GE(v.zoom_x, 1);
    EXPECT_GE(v.display_height, 1);
    lay_out(&v, 0, 0);
    EXPECT_GE(v.display_width, 1);
    EXPECT_GE(v.zoom_y, 1);
}

TEST(ViewLayout, ZoomAddsTheBarsItNeeds)
{
    ViewState v = view_of(300, 200);
    view_set_zoom(&v, 200, 400, 300);
    const ViewLayout out = lay_out(&v, 400, 300);
    EXPECT_EQ(v.display_width, 600);
    EXPECT_EQ(v.display_height, 400);
    ASSERT_TRUE(out.horizontal.shown);
    ASSERT_TRUE(out.vertical.shown);
    EXPECT_EQ(out.horizontal.max, 600);
    EXPECT_EQ(out.horizontal.page, 384);
    EXPECT_EQ(out.vertical.page, 284);
    EXPECT_EQ(v.scroll_limit_x, 216);
    EXPECT_EQ(v.scroll_limit_y, 116);
    EXPECT_GE(v.scroll_x, 0);
    EXPECT_LE(v.scroll_x, 216);

    // A vertical bar alone can make the width too small and call for the horizontal one.
    ViewState w = view_of(396, 600);
    view_set_zoom(&w, 100, 400, 300);
    const ViewLayout both = lay_out(&w, 400, 300);
    EXPECT_TRUE(both.vertical.shown);
    EXPECT_TRUE(both.horizontal.shown);
    EXPECT_EQ(w.scroll_limit_x, 396 - 384);
}

TEST(ViewLayout, APictureExactlyAsLargeAsTheViewNeedsNoBars)
{
    // At zoom 100 in a 400 x 300 view: as tall and as wide as the view, with or without the bars
    // currently shown (their room belongs to the picture again).
    for (bool bars_shown : {false, true}) {
        SCOPED_TRACE(bars_shown);
        for (auto [w, h] : std::vector<std::pair<int, int>>{{300, 300}, {400, 120}, {400, 300}}) {
            ViewState v = view_of(w, h);
            view_set_zoom(&v, 100, 400, 300);
            const ViewLayout out = bars_shown ? lay_out(&v, 384, 284, true) : lay_out(&v, 400, 300);
            EXPECT_FALSE(out.vertical.shown) << w << " x " << h;
            EXPECT_FALSE(out.horizontal.shown) << w << " x " << h;
            EXPECT_EQ(v.scroll_limit_x, 0);
            EXPECT_EQ(v.scroll_limit_y, 0);
        }
    }
    // One line more calls for the vertical bar alone while the picture still fits beside it...
    ViewState taller = view_of(384, 301);
    view_set_zoom(&taller, 100, 400, 300);
    ViewLayout out = lay_out(&taller, 400, 300);
    EXPECT_TRUE(out.vertical.shown);
    EXPECT_FALSE(out.horizontal.shown);
    EXPECT_EQ(taller.scroll_limit_y, 1);
    // ...and one column more then needs the horizontal bar too.
    ViewState wider = view_of(385, 301);
    view_set_zoom(&wider, 100, 400, 300);
    out = lay_out(&wider, 400, 300);
    EXPECT_TRUE(out.vertical.shown);
    EXPECT_TRUE(out.horizontal.shown);
    EXPECT_EQ(wider.scroll_limit_x, 1);
    EXPECT_EQ(wider.scroll_limit_y, 301 - 284);
}

TEST(ViewLayout, ZoomCentresASmallerPicture)
{
    ViewState v = view_of(300, 200);
    view_set_zoom(&v, 50, 400, 300);
    const ViewLayout out = lay_out(&v, 400, 300);
    EXPECT_FALSE(out.horizontal.shown);
    EXPECT_EQ(v.scroll_x, -125);
    EXPECT_EQ(v.scroll_y, -100);
    EXPECT_EQ(v.scroll_limit_x, 0);
    // Same zoom again: nothing to rebuild.
    EXPECT_FALSE(lay_out(&v, 400, 300).rebuild);
}

TEST(ViewLayout, NoPictureMeansNoBars)
{
    ViewState v;
    view_state_init(&v);
    const ViewLayout out = lay_out(&v, 400, 300);
    EXPECT_FALSE(out.rebuild);
    EXPECT_FALSE(out.horizontal.shown);
    EXPECT_EQ(v.scroll_limit_x, 0);
}

TEST(ViewZoom, KeepsThePointAtTheCentre)
{
    ViewState v = view_of(1000, 1000);
    lay_out(&v, 400, 300);  // fit: zoom 30
    int px, py;
    view_window_to_picture(&v, 200, 150, &px, &py);
    EXPECT_EQ(px, 500);
    view_set_zoom(&v, 100, 400, 300);
    EXPECT_EQ(v.display_mode, ViewDisplay::zoom);
    lay_out(&v, 400, 300);
    view_window_to_picture(&v, 200, 150, &px, &py);
    EXPECT_EQ(px, 500);
    EXPECT_EQ(py, 500);
}

TEST(ViewZoom, NeverGoesBelowOnePercent)
{
    ViewState v = view_of(1000, 1000);
    view_set_zoom(&v, 5, 400, 300);
    view_set_zoom(&v, v.zoom_x - 10, 400, 300);
    EXPECT_EQ(v.zoom_x, 1);
    EXPECT_DOUBLE_EQ(v.zoom_x_exact, 1.0);
    view_set_zoom(&v, v.zoom_x - 10, 400, 300);
    EXPECT_EQ(v.zoom_y, 1);
    lay_out(&v, 400, 300);
    EXPECT_EQ(v.display_width, 10);
    EXPECT_EQ(view_hit_tolerance(&v), 500);
    view_set_zoom(&v, 1 << 30, 400, 300);
    EXPECT_EQ(v.zoom_x, VIEW_ZOOM_MAX);

    // A very large picture cannot be zoomed to a size the display maps could not hold.
    ViewState huge = view_of(1 << 24, 100);
    view_set_zoom(&huge, 400, 400, 300);
    EXPECT_EQ(huge.zoom_x, 6);
    lay_out(&huge, 400, 300);
    EXPECT_LE(huge.display_width, VIEW_DISPLAY_SIDE_MAX);
}

TEST(ViewCoordinates, ConvertBothWaysAndClampToThePicture)
{
    ViewState v = view_of(100, 100);
    lay_out(&v, 400, 300);  // zoom 300, picture from x = 50
    int px, py;
    view_window_to_picture(&v, 200, 150, &px, &py);
    EXPECT_EQ(px, 50);
    EXPECT_EQ(py, 50);
    view_window_to_picture(&v, 10, -5, &px, &py);
    EXPECT_EQ(px, 0);
    EXPECT_EQ(py, 0);
    view_window_to_picture(&v, 399, 299, &px, &py);
    EXPECT_EQ(px, 100);  // the width itself is allowed
    EXPECT_EQ(py, 99);
    EXPECT_EQ(view_picture_to_window_x(&v, 100), 350);
    EXPECT_EQ(view_picture_to_window_y(&v, 10), 30);
}

TEST(ViewScroll, RequestsMoveWithinTheLimit)
{
    EXPECT_EQ(view_scroll_target(10, 100, VIEW_SCROLL_LINE_BACK, 30, 0), 9);
    EXPECT_EQ(view_scroll_target(10, 100, VIEW_SCROLL_LINE_FORWARD, 30, 0), 11);
    EXPECT_EQ(view_scroll_target(10, 100, VIEW_SCROLL_PAGE_BACK, 30, 0), 0);
    EXPECT_EQ(view_scroll_target(10, 100, VIEW_SCROLL_PAGE_FORWARD, 0, 0), 20);  // page 0 counts as 10
    EXPECT_EQ(view_scroll_target(10, 100, VIEW_SCROLL_TO, 30, 250), 100);
    EXPECT_EQ(view_scroll_target(10, 100, VIEW_SCROLL_START, 30, 0), 0);
    EXPECT_EQ(view_scroll_target(10, 100, VIEW_SCROLL_END, 30, 0), 100);
}

TEST(ViewHitTest, ZonesAroundTheSelection)
{
    ViewState v = framing_view();
    select(v, {100, 100, 300, 200});
    struct Case {
        int x, y;
        ViewZone zone;
    } cases[] = {
        {100, 100, ViewZone::top_left}, {300, 100, ViewZone::top_right}, {200, 100, ViewZone::top},
        {100, 200, ViewZone::bottom_left}, {300, 200, ViewZone::bottom_right}, {200, 200, ViewZone::bottom},
        {100, 150, ViewZone::left}, {300, 150, ViewZone::right}, {107, 150, ViewZone::inside},
        {150, 100, ViewZone::none}, {250, 200, ViewZone::none}, {200, 150, ViewZone::inside},
        {305, 150, ViewZone::none}, {50, 50, ViewZone::none},   {95, 95, ViewZone::top_left},
    };
    for (const Case& c : cases) EXPECT_EQ(view_hit_test(&v, c.x, c.y), c.zone) << c.x << "," << c.y;
}

TEST(ViewHitTest, ToleranceGrowsBelowZoom100)
{
    ViewState v = framing_view();
    select(v, {100, 100, 300, 200});
    EXPECT_EQ(view_hit_tolerance(&v), 5);
    v.zoom_x = 50;
    EXPECT_EQ(view_hit_tolerance(&v), 10);
    EXPECT_EQ(view_hit_test(&v, 107, 150), ViewZone::left);
    EXPECT_EQ(view_hit_test(&v, 91, 92), ViewZone::top_left);
    v.zoom_x = 30;
    EXPECT_EQ(view_hit_tolerance(&v), 16);
    v.zoom_x = 400;
    EXPECT_EQ(view_hit_tolerance(&v), 5);
}

struct Frame {
    int x, y, w, h;
    bool operator==(const Frame&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Frame& f) { return o << f.x << "," << f.y << " " << f.w << "x" << f.h; }

Frame shaped(int code, uint32_t edges, Frame f, int pw = 1000, int ph = 800)
{
    view_apply_shape(code, pw, ph, edges, &f.x, &f.y, &f.w, &f.h);
    return f;
}

TEST(ViewShape, ProportionFromTheEdgeThatMoves)
{
    // Top or bottom handle: the height decides; left or right: the width.
    EXPECT_EQ(shaped(11, VIEW_EDGE_BOTTOM, {100, 100, 50, 80}), (Frame{100, 100, 80, 80}));
    EXPECT_EQ(shaped(11, VIEW_EDGE_RIGHT, {100, 100, 50, 80}), (Frame{100, 100, 50, 50}));
    EXPECT_EQ(shaped(4, VIEW_EDGE_TOP, {100, 100, 90, 40}), (Frame{100, 100, 60, 40}));
    // The left edge follows: the right edge stays where it was.
    EXPECT_EQ(shaped(2, VIEW_EDGE_LEFT, {100, 100, 40, 90}), (Frame{100, 100, 40, 30}));
    EXPECT_EQ(shaped(11, VIEW_EDGE_TOP | VIEW_EDGE_LEFT, {100, 100, 50, 80}), (Frame{70, 100, 80, 80}));
    EXPECT_EQ(shaped(11, VIEW_EDGE_TOP, {100, 100, 80, 50}), (Frame{100, 100, 50, 50}));
    EXPECT_EQ(shaped(0, VIEW_EDGE_TOP, {1, 2, 3, 4}), (Frame{1, 2, 3, 4}));
}

TEST(ViewShape, FramesPushedOutAreCutBackToThePicture)
{
    EXPECT_EQ(shaped(11, VIEW_EDGE_LEFT, {-20, 10, 60, 5}), (Frame{0, 10, 40, 40}));
    EXPECT_EQ(shaped(11, VIEW_EDGE_TOP, {10, -30, 5, 70}), (Frame{10, 0, 40, 40}));
    EXPECT_EQ(shaped(11, VIEW_EDGE_BOTTOM, {950, 10, 5, 100}), (Frame{950, 10, 50, 50}));
    EXPECT_EQ(shaped(11, VIEW_EDGE_RIGHT, {10, 750, 100, 5}), (Frame{10, 750, 50, 50}));
}

TEST(ViewShape, PhysicalFrameAt300DpiIsCentredOnTheVisiblePart)
{
    ViewState v = view_of(3000, 2400, 300);
    lay_out(&v, 400, 300);  // fit: 375 x 300, zoom 12
    EXPECT_TRUE(view_set_frame_shape(&v, 16));
    EXPECT_EQ(v.frame_shape, 16);
    // left = (-12 + 200) * 100 / 12 - 1204 / 2, top = 150 * 100 / 12 - 1795 / 2
    expect_selection(v, 964, 353, 964 + 1204, 353 + 1795);
}

TEST(ViewShape, PhysicalFrameWithoutResolutionAssumes72Dpi)
{
    ViewState v = view_of(1000, 1000, 0);
    lay_out(&v, 400, 300);
    view_set_frame_shape(&v, 16);
    ASSERT_TRUE(view_has_selection(&v));
    EXPECT_EQ(v.selection.right - v.selection.left, 289);
    EXPECT_EQ(v.selection.bottom - v.selection.top, 430);
    EXPECT_EQ(view_millimetres_to_pixels(72, 87), 246);  // code 31 is 127 x 87
    EXPECT_EQ(VIEW_FRAME_SHAPE_TABLE[31].rh, 87);
}

TEST(ViewShape, ExistingFrameTakesTheShapeAndStaysInside)
{
    ViewState v = view_of(400, 300, 72);
    lay_out(&v, 400, 300);
    select(v, {10, 20, 110, 60});
    view_set_frame_shape(&v, 2);  // 4:3 from the width
    expect_selection(v, 10, 20, 110, 95);
    view_set_frame_shape(&v, 24);  // 500 x 750 mm is far larger than the picture
    expect_selection(v, 10, 20, 400, 300);
    view_set_frame_shape(&v, 0);
    expect_selection(v, 10, 20, 400, 300);

    // A proportion without a frame has nothing to shape.
    ViewState w = view_of(400, 300);
    lay_out(&w, 400, 300);
    EXPECT_FALSE(view_set_frame_shape(&w, 11));
    EXPECT_FALSE(view_has_selection(&w));
    EXPECT_EQ(w.frame_shape, 11);
}

TEST(ViewMouse, DrawAFrameThenClickInsideIt)
{
    ViewState v = framing_view();
    ViewReaction r;
    view_button_down(&v, 10, 10, &r);
    EXPECT_EQ(r.capture, VIEW_CAPTURE_TAKE);
    EXPECT_EQ(v.drag_state, ViewDrag::frame);
    view_mouse_move(&v, 50, 40, &r);
    ASSERT_EQ(codes(r), (std::vector<int>{3}));
    expect_rect(r.events[0], 10, 10, 40, 30);
    EXPECT_TRUE(r.repaint_now);
    view_button_up(&v, 50, 40, &r);
    EXPECT_EQ(r.capture, VIEW_CAPTURE_RELEASE);
    ASSERT_EQ(codes(r), (std::vector<int>{3, 4}));
    expect_rect(r.events[0], 10, 10, 40, 30);
    EXPECT_EQ(r.events[1].x, 50);
    EXPECT_EQ(r.events[1].y, 40);
    expect_selection(v, 10, 10, 50, 40);
    EXPECT_EQ(v.drag_state, ViewDrag::none);

    // A click inside: moving starts, nothing moves, code 2 with the window point.
    view_button_down(&v, 30, 25, &r);
    EXPECT_EQ(v.drag_state, ViewDrag::move);
    EXPECT_EQ(r.capture, VIEW_CAPTURE_TAKE);
    view_button_up(&v, 30, 25, &r);
    ASSERT_EQ(codes(r), (std::vector<int>{2}));
    EXPECT_EQ(r.events[0].x, 30);
    expect_selection(v, 10, 10, 50, 40);
}

TEST(ViewMouse, ResizeByAHandleAndMove)
{
    ViewState v = framing_view();
    select(v, {10, 10, 50, 40});
    ViewReaction r;
    view_button_down(&v, 50, 40, &r);
    EXPECT_EQ(v.hit_zone, ViewZone::bottom_right);
    view_mouse_move(&v, 80, 60, &r);
    expect_rect(r.events[0], 10, 10, 70, 50);
    view_button_up(&v, 80, 60, &r);
    EXPECT_EQ(codes(r), (std::vector<int>{3, 4}));
    expect_selection(v, 10, 10, 80, 60);

    // The left handle only moves the left edge, and never past the right one.
    view_button_down(&v, 10, 35, &r);
    EXPECT_EQ(v.hit_zone, ViewZone::left);
    view_mouse_move(&v, 200, 99, &r);
    expect_rect(r.events[0], 80, 10, 0, 50);
    view_mouse_move(&v, 30, 99, &r);
    view_button_up(&v, 30, 99, &r);
    expect_selection(v, 30, 10, 80, 60);

    // Moving keeps the size, follows the grab point and stops at the picture's edges.
    view_button_down(&v, 60, 40, &r);
    ASSERT_EQ(v.drag_state, ViewDrag::move);
    view_mouse_move(&v, 160, 140, &r);
    EXPECT_EQ(r.event_count, 0);
    EXPECT_EQ(r.cursor, VIEW_CURSOR_SIZE_ALL);
    expect_selection(v, 130, 110, 180, 160);
    view_mouse_move(&v, 1000, -50, &r);
    expect_selection(v, 350, 0, 400, 50);
    view_button_up(&v, 1000, -50, &r);
    EXPECT_EQ(r.event_count, 0);
    EXPECT_EQ(r.capture, VIEW_CAPTURE_RELEASE);
    EXPECT_EQ(v.drag_state, ViewDrag::none);
}

TEST(ViewMouse, ClickOutsideAndTooSmallDragsClearTheSelection)
{
    ViewState v = framing_view();
    select(v, {10, 10, 50, 40});
    ViewReaction r;
    view_button_down(&v, 300, 250, &r);
    view_button_up(&v, 300, 250, &r);
    ASSERT_EQ(codes(r), (std::vector<int>{3, 1}));
    expect_rect(r.events[0], 0, 0, 0, 0);
    EXPECT_EQ(r.events[1].x, 300);
    EXPECT_FALSE(view_has_selection(&v));

    view_button_down(&v, 10, 10, &r);
    view_mouse_move(&v, 12, 30, &r);
    view_button_up(&v, 12, 30, &r);  // 2 pixels wide
    ASSERT_EQ(codes(r), (std::vector<int>{3}));
    expect_rect(r.events[0], 0, 0, 0, 0);
    EXPECT_FALSE(view_has_selection(&v));

    view_button_down(&v, 10, 10, &r);
    view_mouse_move(&v, 13, 13, &r);
    view_button_up(&v, 13, 13, &r);  // 3 x 3 is kept
    EXPECT_EQ(codes(r), (std::vector<int>{3, 4}));
    expect_selection(v, 10, 10, 13, 13);
}

TEST(ViewMouse, ShapedDrawingAndClicksWithoutSelectionMode)
{
    ViewState v = framing_view();
    v.frame_shape = 11;
    ViewReaction r;
    view_button_down(&v, 10, 10, &r);
    view_mouse_move(&v, 50, 30, &r);
    expect_rect(r.events[0], 10, 10, 20, 20);  // the bottom edge follows: width from height

    ViewState plain = framing_view();
    view_set_selection_mode(&plain, 0);
    view_button_down(&plain, 70, 80, &r);
    EXPECT_EQ(r.capture, VIEW_CAPTURE_KEEP);
    view_button_up(&plain, 70, 80, &r);
    ASSERT_EQ(codes(r), (std::vector<int>{1}));
    EXPECT_EQ(r.events[0].y, 80);
    view_button_down(&plain, 70, 80, &r);
    view_button_up(&plain, 71, 80, &r);
    EXPECT_EQ(r.event_count, 0);
}

TEST(ViewMouse, CursorFollowsTheZoneWhenNoButtonIsDown)
{
    ViewState v = framing_view();
    ViewReaction r;
    view_mouse_move(&v, 10, 10, &r);
    EXPECT_EQ(r.cursor, VIEW_CURSOR_CLASS);
    select(v, {10, 10, 50, 40});
    view_mouse_move(&v, 50, 10, &r);
    EXPECT_EQ(r.cursor, VIEW_CURSOR_SIZE_NESW);
    view_mouse_move(&v, 30, 40, &r);
    EXPECT_EQ(r.cursor, VIEW_CURSOR_SIZE_NS);
}

TEST(ViewMouse, TextHangsAboveThePointerUntilClickOrEscape)
{
    ViewState v = framing_view();
    view_start_text(&v, 40, 10);
    ViewReaction r;
    view_button_down(&v, 100, 100, &r);  // ignored while placing
    EXPECT_EQ(v.drag_state, ViewDrag::text);
    view_mouse_move(&v, 100, 100, &r);
    EXPECT_EQ(v.text_x, 80);
    EXPECT_EQ(v.text_y, 90);
    view_button_up(&v, 100, 100, &r);
    ASSERT_EQ(codes(r), (std::vector<int>{5}));
    EXPECT_EQ(r.events[0].x, 80);
    EXPECT_EQ(r.events[0].y, 90);
    EXPECT_EQ(r.text_end, VIEW_TEXT_CONFIRMED);
    EXPECT_EQ(r.capture, VIEW_CAPTURE_RELEASE);
    EXPECT_EQ(v.drag_state, ViewDrag::none);

    view_start_text(&v, 40, 10);
    view_escape(&v, &r);
    EXPECT_EQ(codes(r), (std::vector<int>{5}));
    EXPECT_EQ(r.text_end, VIEW_TEXT_CANCELLED);
    view_escape(&v, &r);
    EXPECT_EQ(r.event_count, 0);
}

TEST(ViewMouse, NewPictureDropsTheSelection)
{
    ViewState v = framing_view();
    select(v, {10, 10, 50, 40});
    Picture p{};
    p.width = p.height = 20;
    uint8_t byte = 0;
    p.data = &byte;
    view_state_set_picture(&v, &p);
    EXPECT_FALSE(view_has_selection(&v));
    EXPECT_EQ(v.picture_width, 20);
    view_state_set_picture(&v, nullptr);
    EXPECT_FALSE(view_has_picture(&v));
}

TEST(ViewPaint, DarkensOnlyThePictureOutsideTheFrame)
{
    EXPECT_EQ(VIEW_DARKEN[63], 0);
    EXPECT_EQ(VIEW_DARKEN[255], 191);
    const int w = 10, h = 4, stride = 32;
    std::vector<uint8_t> px(stride * h, 100);
    view_darken_outside(px.data(), w, h, stride, ViewRect{1, 0, 9, 4}, ViewRect{3, 1, 6, 3});
    auto at = [&](int x, int y) { return px[y * stride + x * 3]; };
    EXPECT_EQ(at(0, 0), 100);  // background, not picture
    EXPECT_EQ(at(1, 0), 36);
    EXPECT_EQ(at(2, 1), 36);
    EXPECT_EQ(at(3, 1), 100);
    EXPECT_EQ(at(5, 2), 100);
    EXPECT_EQ(at(6, 2), 36);
    EXPECT_EQ(at(4, 3), 36);
    EXPECT_EQ(at(9, 3), 100);
    EXPECT_EQ(px[30], 100);  // padding untouched
}

TEST(ViewPaint, EightHandlesOfSixPixels)
{
    ViewRect s[8];
    view_handle_squares(ViewRect{10, 20, 30, 40}, s);
    EXPECT_EQ(s[0].left, 7);
    EXPECT_EQ(s[0].top, 17);
    EXPECT_EQ(s[0].right - s[0].left, 6);
    EXPECT_EQ(s[6].left, 17);  // bottom middle
    EXPECT_EQ(s[6].top, 37);
    EXPECT_EQ(s[4].left, 27);  // right middle
    EXPECT_EQ(s[4].top, 27);
}

}  // namespace
