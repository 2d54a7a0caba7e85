// The image view's geometry and mouse handling, apart from the window.
#include "app/CBmp.h"

#include <algorithm>
#include <cmath>

const ViewShape VIEW_FRAME_SHAPE_TABLE[VIEW_FRAME_SHAPES] = {
    {0, 0},
    // proportions
    {9, 7}, {4, 3}, {5, 4}, {3, 2}, {16, 9}, {7, 9}, {3, 4}, {4, 5}, {2, 3}, {9, 16}, {1, 1},
    // millimetres
    {60, 80}, {60, 90}, {89, 127}, {95, 127}, {102, 152}, {111, 152}, {127, 169}, {127, 178},
    {152, 203}, {203, 305}, {300, 450}, {400, 600}, {500, 750}, {127, 190}, {152, 216}, {203, 270},
    {600, 800}, {8, 6}, {9, 6}, {127, 87}, {127, 95}, {152, 102}, {152, 111}, {169, 127}, {178, 127},
    {203, 152}, {305, 203}, {45, 30}, {60, 40}, {75, 50}, {190, 127}, {216, 152}, {270, 203}, {80, 60},
};

const uint8_t VIEW_DARKEN[256] = {
#define D4(v) ((v) < 64 ? 0 : (v) - 64), ((v) + 1 < 64 ? 0 : (v) + 1 - 64), ((v) + 2 < 64 ? 0 : (v) + 2 - 64), \
              ((v) + 3 < 64 ? 0 : (v) + 3 - 64)
#define D16(v) D4(v), D4((v) + 4), D4((v) + 8), D4((v) + 12)
#define D64(v) D16(v), D16((v) + 16), D16((v) + 32), D16((v) + 48)
    D64(0), D64(64), D64(128), D64(192)
#undef D64
#undef D16
#undef D4
};

namespace {

int clamp_zoom(int64_t z) { return static_cast<int>(std::clamp<int64_t>(z, VIEW_ZOOM_MIN, VIEW_ZOOM_MAX)); }

ViewEvent& add_event(ViewReaction* r, int code)
{
    ViewEvent& e = r->events[r->event_count++];
    e = ViewEvent{};
    e.code = code;
    return e;
}

void send_rect(ViewReaction* r, int code, const ViewRect& rect)
{
    ViewEvent& e = add_event(r, code);
    e.rect_x = rect.left;
    e.rect_y = rect.top;
    e.rect_width = rect.right - rect.left;
    e.rect_height = rect.bottom - rect.top;
}

uint32_t following_edges(ViewZone zone)
{
    switch (zone) {
    case ViewZone::left: return VIEW_EDGE_LEFT;
    case ViewZone::right: return VIEW_EDGE_RIGHT;
    case ViewZone::top_left: return VIEW_EDGE_LEFT | VIEW_EDGE_TOP;
    case ViewZone::top_right: return VIEW_EDGE_RIGHT | VIEW_EDGE_TOP;
    case ViewZone::top: return VIEW_EDGE_TOP;
    case ViewZone::bottom_left: return VIEW_EDGE_LEFT | VIEW_EDGE_BOTTOM;
    case ViewZone::bottom: return VIEW_EDGE_BOTTOM;
    default: return VIEW_EDGE_RIGHT | VIEW_EDGE_BOTTOM;  // a new frame, or the bottom-right corner
    }
}

void clear_reaction(ViewReaction* r) { *r = ViewReaction{}; }

}  // namespace

void view_state_init(ViewState* view)
{
    *view = ViewState{};
    view->state_flags = VIEW_FRAME_IN_COLOUR;
    view->display_mode = ViewDisplay::fit;
    view->zoom_x = view->zoom_y = 100;
    view->zoom_x_exact = view->zoom_y_exact = 100.0;
}

void view_state_set_picture(ViewState* view, const Picture* picture)
{
    const bool present = picture && picture->data && picture->width > 0 && picture->height > 0;
    view->picture_width = present ? picture->width : 0;
    view->picture_height = present ? picture->height : 0;
    view->x_dpi = present ? picture->x_dpi : 0;
    view->y_dpi = present ? picture->y_dpi : 0;
    view->state_flags &= ~VIEW_HAS_SELECTION;
    view->selection = ViewRect{};
    view->drag = ViewRect{};
    if (view->drag_state != ViewDrag::text) view->drag_state = ViewDrag::none;
}

// ---- coordinates -----------------------------------------------------------------------------

void view_window_to_picture(const ViewState* view, int x, int y, int* px, int* py)
{
    const double zx = view->zoom_x_exact > 0 ? view->zoom_x_exact : 100.0;
    const double zy = view->zoom_y_exact > 0 ? view->zoom_y_exact : 100.0;
    const double fx = std::trunc((static_cast<double>(x) + view->scroll_x) * 100.0 / zx);
    const double fy = std::trunc((static_cast<double>(y) + view->scroll_y) * 100.0 / zy);
    *px = static_cast<int>(std::clamp(fx, 0.0, static_cast<double>(view->picture_width)));
    *py = static_cast<int>(std::clamp(fy, 0.0, static_cast<double>(view->picture_height)));
}

namespace {

int picture_to_window(int scroll, int c, double zoom)
{
    const double v = std::trunc(c * zoom * 0.01) - scroll;
    return static_cast<int>(std::clamp(v, static_cast<double>(INT32_MIN), static_cast<double>(INT32_MAX)));
}

}  // namespace

int view_picture_to_window_x(const ViewState* view, int c)
{
    return picture_to_window(view->scroll_x, c, view->zoom_x_exact);
}

int view_picture_to_window_y(const ViewState* view, int c)
{
    return picture_to_window(view->scroll_y, c, view->zoom_y_exact);
}

// ---- layout ----------------------------------------------------------------------------------

namespace {

void lay_out_direction(int picture_size, int visible, int32_t* scroll, int32_t* limit, ViewScrollBar* bar)
{
    if (visible < picture_size) {
        *limit = picture_size - visible;
        *scroll = std::clamp(*scroll, 0, *limit);
        *bar = ViewScrollBar{true, picture_size, visible, *scroll};
    } else {
        *scroll = (picture_size - visible) / 2;
        *limit = 0;
        *bar = ViewScrollBar{};
    }
}

}  // namespace

void view_layout(ViewState* view, const ViewLayoutInput& in, ViewLayout* out)
{
    *out = ViewLayout{};
    view->client_width = in.client_width;
    view->client_height = in.client_height;
    if (!view_has_picture(view)) {
        view->scroll_limit_x = view->scroll_limit_y = 0;
        view->display_width = view->display_height = 0;
        return;
    }
    const int avail_w = std::max(0, in.client_width + (in.vertical_bar_shown ? in.vertical_bar_width : 0));
    const int avail_h = std::max(0, in.client_height + (in.horizontal_bar_shown ? in.horizontal_bar_height : 0));
    const int64_t W = view->picture_width, H = view->picture_height;

    if (view->display_mode == ViewDisplay::fit) {
        int64_t h = avail_h, w = h * W / H;
        if (w > avail_w) {
            w = avail_w;
            h = w * H / W;
        }
        // A window with no room, or a picture far thinner than the window, still gets a
        // one-pixel picture, never a zoom of 0.
        w = std::max<int64_t>(w, 1);
        h = std::max<int64_t>(h, 1);
        out->rebuild = true;
        view->display_width = static_cast<int32_t>(w);
        view->display_height = static_cast<int32_t>(h);
        view->scroll_x = static_cast<int32_t>(-(avail_w - w) / 2);
        view->scroll_y = static_cast<int32_t>(-(avail_h - h) / 2);
        view->scroll_limit_x = view->scroll_limit_y = 0;
        view->zoom_x = clamp_zoom(w * 100 / W);
        view->zoom_y = clamp_zoom(h * 100 / H);
        view->zoom_x_exact = static_cast<double>(w) * 100.0 / static_cast<double>(W);
        view->zoom_y_exact = static_cast<double>(h) * 100.0 / static_cast<double>(H);
        view->client_width = avail_w;
        view->client_height = avail_h;
        return;
    }

    const int64_t w = std::max<int64_t>(1, static_cast<int64_t>(view->zoom_x) * W / 100);
    const int64_t h = std::max<int64_t>(1, static_cast<int64_t>(view->zoom_y) * H / 100);
    out->rebuild = in.force_rebuild || w != view->display_width || h != view->display_height;
    view->display_width = static_cast<int32_t>(w);
    view->display_height = static_cast<int32_t>(h);

    int vis_w = avail_w, vis_h = avail_h;
    bool horizontal = false;
    if (w > vis_w) {
        horizontal = true;
        vis_h -= in.horizontal_bar_height;
    }
    if (h > vis_h) vis_w -= in.vertical_bar_width;
    if (!horizontal && w > vis_w) vis_h -= in.horizontal_bar_height;
    vis_w = std::max(vis_w, 0);
    vis_h = std::max(vis_h, 0);
    lay_out_direction(static_cast<int>(w), vis_w, &view->scroll_x, &view->scroll_limit_x, &out->horizontal);
    lay_out_direction(static_cast<int>(h), vis_h, &view->scroll_y, &view->scroll_limit_y, &out->vertical);
    view->client_width = vis_w;
    view->client_height = vis_h;
}

void view_set_zoom(ViewState* view, int zoom, int client_width, int client_height)
{
    int z = clamp_zoom(zoom);
    // The display maps hold one entry per displayed column and row: keep them within reason.
    const int64_t side = std::max(view->picture_width, view->picture_height);
    if (side > 0) z = static_cast<int>(std::min<int64_t>(z, std::max<int64_t>(1, VIEW_DISPLAY_SIDE_MAX * 100 / side)));
    view->display_mode = ViewDisplay::zoom;
    const int64_t cx = (static_cast<int64_t>(view->scroll_x) + client_width / 2) * 100 / std::max(view->zoom_x, 1);
    const int64_t cy = (static_cast<int64_t>(view->scroll_y) + client_height / 2) * 100 / std::max(view->zoom_y, 1);
    view->scroll_x = static_cast<int32_t>(cx * z / 100 - client_width / 2);
    view->scroll_y = static_cast<int32_t>(cy * z / 100 - client_height / 2);
    view->zoom_x = view->zoom_y = z;
    view->zoom_x_exact = view->zoom_y_exact = z;
}

void view_set_display_mode(ViewState* view, ViewDisplay mode)
{
    view->display_mode = mode == ViewDisplay::zoom ? ViewDisplay::zoom : ViewDisplay::fit;
    if (view->display_mode == ViewDisplay::zoom) {
        view->zoom_x_exact = view->zoom_x;
        view->zoom_y_exact = view->zoom_y;
    }
}

void view_set_selection_mode(ViewState* view, uint32_t mode)
{
    view->mode_flags = mode != 0 ? static_cast<uint32_t>(VIEW_MODE_FRAME) : 0u;
}

int view_scroll_target(int current, int limit, int request, int page, int position)
{
    if (page <= 0) page = 10;
    int64_t v = current;
    switch (request) {
    case VIEW_SCROLL_LINE_BACK: v -= 1; break;
    case VIEW_SCROLL_LINE_FORWARD: v += 1; break;
    case VIEW_SCROLL_PAGE_BACK: v -= page; break;
    case VIEW_SCROLL_PAGE_FORWARD: v += page; break;
    case VIEW_SCROLL_TO: v = position; break;
    case VIEW_SCROLL_START: v = 0; break;
    case VIEW_SCROLL_END: v = limit; break;
    default: break;
    }
    return static_cast<int>(std::clamp<int64_t>(v, 0, std::max(limit, 0)));
}

// ---- hit test --------------------------------------------------------------------------------

int view_hit_tolerance(const ViewState* view)
{
    return view->zoom_x < 100 ? 500 / std::max(view->zoom_x, 1) : 5;
}

ViewZone view_hit_test(const ViewState* view, int x, int y)
{
    const ViewRect& s = view->selection;
    const int d = view_hit_tolerance(view);
    const int l = s.left, t = s.top, r = s.right, b = s.bottom;
    const int mx = (l + r) / 2, my = (t + b) / 2;
    if (t + d <= y && y <= b - d && l + d <= x && x <= r - d) return ViewZone::inside;
    // A horizontal edge: its two corners, then its middle handle.
    auto edge = [&](ViewZone left_zone, ViewZone right_zone, ViewZone middle_zone) {
        if (x >= l - d && x < l + d) return left_zone;
        if (x >= r - d && x < r + d) return right_zone;
        if (x < mx - d) return ViewZone::none;
        return x < mx + d ? middle_zone : ViewZone::none;
    };
    if (t - d <= y && y < t + d) return edge(ViewZone::top_left, ViewZone::top_right, ViewZone::top);
    if (b - d <= y && y < b + d) return edge(ViewZone::bottom_left, ViewZone::bottom_right, ViewZone::bottom);
    if (my - d <= y && y < my + d) {
        if (x >= l - d && x < l + d) return ViewZone::left;
        if (x < r - d) return ViewZone::none;
        if (x < r + d) return ViewZone::right;
        return ViewZone::none;
    }
    return ViewZone::none;
}

int view_zone_cursor(ViewZone zone)
{
    switch (zone) {
    case ViewZone::top_left:
    case ViewZone::bottom_right: return VIEW_CURSOR_SIZE_NWSE;
    case ViewZone::top_right:
    case ViewZone::bottom_left: return VIEW_CURSOR_SIZE_NESW;
    case ViewZone::top:
    case ViewZone::bottom: return VIEW_CURSOR_SIZE_NS;
    case ViewZone::left:
    case ViewZone::right: return VIEW_CURSOR_SIZE_WE;
    default: return VIEW_CURSOR_CLASS;
    }
}

// ---- frame shapes ----------------------------------------------------------------------------

void view_apply_shape(int code, int picture_width, int picture_height, uint32_t edges, int* px, int* py, int* pw,
                      int* ph)
{
    if (code <= 0 || code >= VIEW_FRAME_SHAPES) return;
    const int64_t rw = VIEW_FRAME_SHAPE_TABLE[code].rw, rh = VIEW_FRAME_SHAPE_TABLE[code].rh;
    int64_t x = *px, y = *py, w = *pw, h = *ph;
    const int64_t old_w = w, old_h = h;
    if (edges & (VIEW_EDGE_TOP | VIEW_EDGE_BOTTOM)) {
        w = h * rw / rh;
        if (x + w > picture_width) {
            w = picture_width - x;
            h = w * rh / rw;
        }
    } else {
        h = w * rh / rw;
        if (y + h > picture_height) {
            h = picture_height - y;
            w = h * rw / rh;
        }
    }
    if (edges & VIEW_EDGE_LEFT) x += old_w - w;
    if (edges & VIEW_EDGE_TOP) y += old_h - h;
    if (x < 0) {
        w += x;
        x = 0;
        h = w * rh / rw;
    }
    if (y < 0) {
        h += y;
        y = 0;
        w = h * rw / rh;
    }
    *px = static_cast<int>(x);
    *py = static_cast<int>(y);
    *pw = static_cast<int>(w);
    *ph = static_cast<int>(h);
}

int view_millimetres_to_pixels(int dpi, int millimetres)
{
    return static_cast<int>(std::trunc(static_cast<double>(dpi) * millimetres * 0.039371370451786486));
}

bool view_set_frame_shape(ViewState* view, int code)
{
    if (code < 0 || code >= VIEW_FRAME_SHAPES) return false;
    view->frame_shape = code;
    if (code == 0 || !view_has_picture(view)) return false;
    const bool existed = view_has_selection(view);
    const ViewRect s = view->selection;
    int x = s.left, y = s.top, w = s.right - s.left, h = s.bottom - s.top;
    if (view_shape_is_physical(code)) {
        int xd = view->x_dpi, yd = view->y_dpi;
        if (xd <= 1 || yd <= 1) xd = yd = 72;
        w = view_millimetres_to_pixels(xd, VIEW_FRAME_SHAPE_TABLE[code].rw);
        h = view_millimetres_to_pixels(yd, VIEW_FRAME_SHAPE_TABLE[code].rh);
    } else {
        view_apply_shape(code, view->picture_width, view->picture_height, VIEW_EDGE_LEFT, &x, &y, &w, &h);
    }
    if (w < 1 || h < 1) return false;  // a proportion gives nothing to shape without a frame
    if (!existed) {
        const int zx = std::max(view->zoom_x, 1), zy = std::max(view->zoom_y, 1);
        x = static_cast<int>((static_cast<int64_t>(view->scroll_x) + view->client_width / 2) * 100 / zx) - w / 2;
        if (x < 0) x = 0;
        if (static_cast<int64_t>(x) + w >= view->picture_width) x = view->picture_width - w - 1;
        y = static_cast<int>((static_cast<int64_t>(view->scroll_y) + view->client_height / 2) * 100 / zy) - h / 2;
        if (y < 0) y = 0;
        if (static_cast<int64_t>(y) + h >= view->picture_height) y = view->picture_height - h - 1;
    }
    // The frame never reaches outside the picture, whether it was just made or resized in place.
    ViewRect r{x, y, static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(x) + w, INT32_MAX)),
               static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(y) + h, INT32_MAX))};
    r.left = std::max(r.left, 0);
    r.top = std::max(r.top, 0);
    r.right = std::min(r.right, view->picture_width);
    r.bottom = std::min(r.bottom, view->picture_height);
    if (r.right <= r.left || r.bottom <= r.top) return false;
    view->selection = r;
    view->state_flags |= VIEW_HAS_SELECTION;
    return true;
}

// ---- mouse -----------------------------------------------------------------------------------

void view_button_down(ViewState* view, int x, int y, ViewReaction* reaction)
{
    clear_reaction(reaction);
    if (view->drag_state == ViewDrag::text) return;
    // Remembered in every mode: a click must still be recognised when no frame may be drawn.
    view->down_x = x;
    view->down_y = y;
    if (!(view->mode_flags & VIEW_MODE_SELECT) || !view_has_picture(view)) return;
    int px, py;
    view_window_to_picture(view, x, y, &px, &py);
    const ViewRect s = view->selection;
    ViewZone zone = ViewZone::none;
    if (view_has_selection(view)) {
        zone = view_hit_test(view, px, py);
        view->hit_zone = zone;
        if (zone == ViewZone::inside) {
            if (view->mode_flags & VIEW_MODE_MOVE) {
                view->drag_state = ViewDrag::move;
                view->move_offset_x = px - (s.right - s.left) / 2 - s.left;
                view->move_offset_y = py - (s.bottom - s.top) / 2 - s.top;
                view->drag = s;
                reaction->capture = VIEW_CAPTURE_TAKE;
                reaction->cursor = VIEW_CURSOR_SIZE_ALL;
            }
            return;
        }
    }
    view->hit_zone = zone;
    view->drag_state = ViewDrag::frame;
    ViewRect d = s;
    switch (zone) {
    case ViewZone::left: d.left = px; break;
    case ViewZone::right: d.right = px; break;
    case ViewZone::top: d.top = py; break;
    case ViewZone::bottom: d.bottom = py; break;
    case ViewZone::top_left: d.left = px, d.top = py; break;
    case ViewZone::bottom_right: d.right = px, d.bottom = py; break;
    case ViewZone::top_right: d.right = px, d.top = py; break;
    case ViewZone::bottom_left: d.left = px, d.bottom = py; break;
    default: d = ViewRect{px, py, px, py}; break;
    }
    view->drag = d;
    reaction->capture = VIEW_CAPTURE_TAKE;
    reaction->repaint_now = true;
}

void view_mouse_move(ViewState* view, int x, int y, ViewReaction* reaction)
{
    clear_reaction(reaction);
    int px, py;
    view_window_to_picture(view, x, y, &px, &py);
    switch (view->drag_state) {
    case ViewDrag::frame: {
        const uint32_t edges = following_edges(view->hit_zone);
        ViewRect d = view->drag;
        if (edges & VIEW_EDGE_LEFT) d.left = std::min(px, d.right);
        if (edges & VIEW_EDGE_RIGHT) d.right = std::max(px, d.left);
        if (edges & VIEW_EDGE_TOP) d.top = std::min(py, d.bottom);
        if (edges & VIEW_EDGE_BOTTOM) d.bottom = std::max(py, d.top);
        int fx = d.left, fy = d.top, fw = d.right - d.left, fh = d.bottom - d.top;
        view_apply_shape(view->frame_shape, view->picture_width, view->picture_height, edges, &fx, &fy, &fw, &fh);
        view->drag = ViewRect{fx, fy, fx + fw, fy + fh};
        reaction->repaint_now = true;
        send_rect(reaction, VIEW_EVENT_SELECTION_CHANGED, view->drag);
        return;
    }
    case ViewDrag::move: {
        ViewRect& s = view->selection;
        const int w = s.right - s.left, h = s.bottom - s.top;
        int left = px - w / 2 - view->move_offset_x;
        int top = py - h / 2 - view->move_offset_y;
        if (left < 0) left = 0;
        if (left + w > view->picture_width) left = view->picture_width - w;
        if (top < 0) top = 0;
        if (top + h > view->picture_height) top = view->picture_height - h;
        s = ViewRect{left, top, left + w, top + h};
        view->drag = s;
        reaction->repaint_now = true;
        reaction->cursor = VIEW_CURSOR_SIZE_ALL;
        return;
    }
    case ViewDrag::text:
        view->text_x = px - view->text_width / 2;
        view->text_y = py - view->text_height;
        reaction->repaint = true;
        return;
    default:
        if (view_has_selection(view)) reaction->cursor = view_zone_cursor(view_hit_test(view, px, py));
        return;
    }
}


namespace {

// Text placement ends by a click (confirmed) or by Escape (cancelled): either way the mouse is
// released and the owner hears where the text stood.
void end_text(ViewState* view, ViewReaction* reaction, uint8_t how)
{
    view->drag_state = ViewDrag::none;
    reaction->capture = VIEW_CAPTURE_RELEASE;
    reaction->text_end = how;
    reaction->repaint = true;
    ViewEvent& e = add_event(reaction, VIEW_EVENT_TEXT_PLACED);
    e.x = view->text_x;
    e.y = view->text_y;
}

}  // namespace

void view_button_up(ViewState* view, int x, int y, ViewReaction* reaction)
{
    clear_reaction(reaction);
    if (view->drag_state == ViewDrag::text) {
        view_mouse_move(view, x, y, reaction);  // the text lands where the pointer is
        clear_reaction(reaction);
        end_text(view, reaction, VIEW_TEXT_CONFIRMED);
        return;
    }
    int px = x, py = y;
    bool picture_point = false;
    if (view->drag_state != ViewDrag::none) {
        reaction->capture = VIEW_CAPTURE_RELEASE;
        if (view->drag_state != ViewDrag::move) {
            view_window_to_picture(view, x, y, &px, &py);
            picture_point = true;
            const ViewRect d = view->drag;
            if (d.right - d.left >= 3 && d.bottom - d.top > 2) {
                view->selection = d;
                view->state_flags |= VIEW_HAS_SELECTION;
            } else {
                view->selection = ViewRect{};
                view->state_flags &= ~VIEW_HAS_SELECTION;
            }
            reaction->repaint_now = true;
            send_rect(reaction, VIEW_EVENT_SELECTION_CHANGED, view->selection);
            if (view->drag_state == ViewDrag::frame && view_has_selection(view)) {
                ViewEvent& e = add_event(reaction, VIEW_EVENT_DRAG_ENDED);
                e.x = px;
                e.y = py;
            }
        }
        view->drag_state = ViewDrag::none;
    }
    // A click: released where it went down (compared in window pixels).
    if (x == view->down_x && y == view->down_y) {
        int hx, hy;
        view_window_to_picture(view, x, y, &hx, &hy);
        const bool inside = view_has_selection(view) && view_hit_test(view, hx, hy) == ViewZone::inside;
        ViewEvent& e = add_event(reaction, inside ? VIEW_EVENT_CLICK_INSIDE : VIEW_EVENT_CLICK);
        e.x = picture_point && !inside ? px : x;
        e.y = picture_point && !inside ? py : y;
    }
}

void view_escape(ViewState* view, ViewReaction* reaction)
{
    clear_reaction(reaction);
    if (view->drag_state != ViewDrag::text) return;
    end_text(view, reaction, VIEW_TEXT_CANCELLED);
}

void view_start_text(ViewState* view, int text_width, int text_height)
{
    view->text_width = text_width;
    view->text_height = text_height;
    view->drag_state = ViewDrag::text;
}

bool view_shown_frame(const ViewState* view, ViewRect* frame)
{
    if (view->drag_state == ViewDrag::frame) {
        *frame = view->drag;
        return true;
    }
    if (view_has_selection(view)) {
        *frame = view->selection;
        return true;
    }
    return false;
}

// ---- painting helpers ------------------------------------------------------------------------

void view_darken_outside(uint8_t* pixels, int width, int height, int stride, const ViewRect& picture,
                         const ViewRect& keep)
{
    const int x0 = std::max(picture.left, 0), x1 = std::min(picture.right, width);
    const int y0 = std::max(picture.top, 0), y1 = std::min(picture.bottom, height);
    if (x1 <= x0 || y1 <= y0) return;
    const int kx0 = std::clamp(keep.left, x0, x1), kx1 = std::clamp(keep.right, kx0, x1);
    const int ky0 = std::clamp(keep.top, y0, y1), ky1 = std::clamp(keep.bottom, ky0, y1);
    auto darken = [&](uint8_t* line, int from, int to) {
        for (uint8_t* p = line + static_cast<int64_t>(from) * 3; p < line + static_cast<int64_t>(to) * 3; ++p) *p = VIEW_DARKEN[*p];
    };
    for (int y = y0; y < y1; ++y) {
        uint8_t* line = pixels + static_cast<int64_t>(y) * stride;
        if (y < ky0 || y >= ky1 || kx0 == kx1) {
            darken(line, x0, x1);
        } else {
            darken(line, x0, kx0);
            darken(line, kx1, x1);
        }
    }
}

void view_handle_squares(const ViewRect& f, ViewRect squares[8])
{
    const int mx = (f.left + f.right) / 2, my = (f.top + f.bottom) / 2;
    const int xs[3] = {f.left, mx, f.right}, ys[3] = {f.top, my, f.bottom};
    int n = 0;
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
            if (i == 1 && j == 1) continue;
            squares[n++] = ViewRect{xs[i] - 3, ys[j] - 3, xs[i] + 3, ys[j] + 3};
        }
}
