// The image view's window-free logic: coordinates, fit and zoom layout, hit zones and cursors,
// the frame-shape rule and table, and the mouse state machine with the notifications it sends.
// app/win32/CBmp.cpp wraps it in the "CBmp" window.
#pragma once

#include <cstdint>

#include "core/picture.h"

enum : uint32_t {
    VIEW_MODE_SELECT = 2,  // a frame may be drawn
    VIEW_MODE_MOVE = 4,    // the frame may be moved
    VIEW_MODE_FRAME = VIEW_MODE_SELECT | VIEW_MODE_MOVE,
};

enum : uint32_t {
    VIEW_OWNS_PICTURE = 1,
    VIEW_HAS_SELECTION = 2,
    VIEW_FRAME_IN_COLOUR = 0x1000,
};

enum class ViewDisplay : int32_t { zoom = 0, fit = 1 };

// What a held button is doing: drawing or resizing a frame, placing a text, moving the frame.
enum class ViewDrag : uint8_t { none = 0, frame = 1, text = 3, move = 4 };

// Hit zones of a point against the selection.
enum class ViewZone : int32_t {
    none = 0,
    left = 1,
    right = 2,
    top_left = 3,
    top_right = 4,
    top = 5,
    bottom_left = 6,
    bottom_right = 7,
    bottom = 8,
    inside = 9,
};

// Cursors the window shows; the Win32 side maps them to IDC_ values.
enum : int32_t {
    VIEW_CURSOR_CLASS = 0,  // leave the class cursor
    VIEW_CURSOR_SIZE_NWSE = 1,
    VIEW_CURSOR_SIZE_NESW = 2,
    VIEW_CURSOR_SIZE_NS = 3,
    VIEW_CURSOR_SIZE_WE = 4,
    VIEW_CURSOR_SIZE_ALL = 5,
};

enum : int32_t {
    VIEW_EVENT_CLICK = 1,
    VIEW_EVENT_CLICK_INSIDE = 2,
    VIEW_EVENT_SELECTION_CHANGED = 3,
    VIEW_EVENT_DRAG_ENDED = 4,
    VIEW_EVENT_TEXT_PLACED = 5,
};

// Edges of a frame that follow the pointer.
enum : uint32_t { VIEW_EDGE_LEFT = 1, VIEW_EDGE_TOP = 2, VIEW_EDGE_RIGHT = 4, VIEW_EDGE_BOTTOM = 8 };

// The argument of set_selection_mode that allows drawing and moving a frame; 0 allows neither.
constexpr uint32_t VIEW_SELECTION_ON = 5;

constexpr int VIEW_ZOOM_MIN = 1;
// Far beyond any useful zoom; keeps the scaled sizes and scroll positions well inside 32 bits.
constexpr int VIEW_ZOOM_MAX = 6400;
// The longest side a zoom may give the picture on screen.
constexpr int64_t VIEW_DISPLAY_SIDE_MAX = int64_t{1} << 20;
constexpr int VIEW_FRAME_SHAPES = 46;  // codes 0..45

struct ViewRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// What a text-placement click hands to the receiver.
struct ViewTextInfo {
    int32_t x;
    int32_t y;
    const wchar_t* text;
    void* font;       // the font handle the view made
    uint32_t colour;  // 0x00BBGGRR
};

// The notification record given to the owner's callback.
struct ViewEvent {
    int32_t code;
    void* window;
    int32_t x;
    int32_t y;
    int32_t rect_x;
    int32_t rect_y;
    int32_t rect_width;
    int32_t rect_height;
    void* context;
    const ViewTextInfo* text;
};
using ViewCallback = int (*)(const ViewEvent* event);

// Frame-shape table: (rw, rh) per code; a proportion for 1..11, millimetres for 12..45.
struct ViewShape {
    int32_t rw;
    int32_t rh;
};
extern const ViewShape VIEW_FRAME_SHAPE_TABLE[VIEW_FRAME_SHAPES];
inline bool view_shape_is_physical(int code) { return code >= 12 && code < VIEW_FRAME_SHAPES; }

// The state of one view, everything but the window, the picture's pixels and the GDI objects.
struct ViewState {
    uint32_t mode_flags;
    uint32_t state_flags;
    int32_t picture_width;   // 0 without a picture
    int32_t picture_height;
    int32_t x_dpi;
    int32_t y_dpi;
    ViewDisplay display_mode;
    int32_t zoom_x;
    int32_t zoom_y;
    double zoom_x_exact;
    double zoom_y_exact;
    int32_t scroll_x;
    int32_t scroll_y;
    int32_t scroll_limit_x;
    int32_t scroll_limit_y;
    ViewRect selection;
    int32_t frame_shape;
    ViewDrag drag_state;
    ViewRect drag;
    ViewZone hit_zone;
    int32_t move_offset_x;
    int32_t move_offset_y;
    int32_t text_x;
    int32_t text_y;
    int32_t text_width;
    int32_t text_height;
    int32_t down_x;
    int32_t down_y;
    int32_t client_width;   // the client area as last laid out
    int32_t client_height;
    int32_t display_width;  // the picture's size on screen
    int32_t display_height;
};

// A new view: fit mode, zoom 100, frame drawn in colour.
void view_state_init(ViewState* view);
// A new picture (or none): sizes and resolution, the selection cleared.
void view_state_set_picture(ViewState* view, const Picture* picture);
inline bool view_has_picture(const ViewState* v) { return v->picture_width > 0 && v->picture_height > 0; }
inline bool view_has_selection(const ViewState* v) { return (v->state_flags & VIEW_HAS_SELECTION) != 0; }

// Coordinates.
void view_window_to_picture(const ViewState* view, int x, int y, int* px, int* py);
int view_picture_to_window_x(const ViewState* view, int c);
int view_picture_to_window_y(const ViewState* view, int c);

// Layout. The input describes the window as it is now; the result tells the window what to do.
struct ViewLayoutInput {
    int32_t client_width;
    int32_t client_height;
    int32_t vertical_bar_width;     // width of a vertical scroll bar
    int32_t horizontal_bar_height;  // height of a horizontal scroll bar
    bool horizontal_bar_shown;
    bool vertical_bar_shown;
    bool force_rebuild;
};
struct ViewScrollBar {
    bool shown;
    int32_t max;   // range 0..max
    int32_t page;
    int32_t position;
};
struct ViewLayout {
    bool rebuild;  // the display bitmap is to be prepared at display_width x display_height
    ViewScrollBar horizontal;
    ViewScrollBar vertical;
};
void view_layout(ViewState* view, const ViewLayoutInput& input, ViewLayout* layout);
// Sets the zoom keeping the picture point at the window's centre (client size as given); the
// caller lays out again afterwards. The zoom is held within VIEW_ZOOM_MIN..VIEW_ZOOM_MAX.
void view_set_zoom(ViewState* view, int zoom, int client_width, int client_height);
// Fit (1) or zoom (0); leaving fit keeps its zoom, made whole so that both zooms agree.
void view_set_display_mode(ViewState* view, ViewDisplay mode);
// VIEW_SELECTION_ON allows drawing and moving frames; 0 allows neither (clicks still count).
void view_set_selection_mode(ViewState* view, uint32_t mode);

// Scrolling: the new scroll value for a scroll request, clamped to 0..limit.
enum : int32_t {
    VIEW_SCROLL_LINE_BACK = 0,
    VIEW_SCROLL_LINE_FORWARD = 1,
    VIEW_SCROLL_PAGE_BACK = 2,
    VIEW_SCROLL_PAGE_FORWARD = 3,
    VIEW_SCROLL_TO = 4,  // thumb position or tracking
    VIEW_SCROLL_START = 6,
    VIEW_SCROLL_END = 7,
};
int view_scroll_target(int current, int limit, int request, int page, int position);

// Hit test and cursors.
int view_hit_tolerance(const ViewState* view);
ViewZone view_hit_test(const ViewState* view, int x, int y);
int view_zone_cursor(ViewZone zone);

// The shape rule on a frame (x, y, w, h) with the given following edges, for shape `code`.
void view_apply_shape(int code, int picture_width, int picture_height, uint32_t edges, int* x, int* y, int* w,
                      int* h);
// Physical size in pixels of a millimetre length at a resolution.
int view_millimetres_to_pixels(int dpi, int millimetres);
// Sets the frame shape; may create a centred frame. Returns whether the selection changed.
bool view_set_frame_shape(ViewState* view, int code);

// What the window does after a mouse or key message.
enum : uint8_t { VIEW_CAPTURE_KEEP = 0, VIEW_CAPTURE_TAKE = 1, VIEW_CAPTURE_RELEASE = 2 };
enum : uint8_t { VIEW_TEXT_GOING_ON = 0, VIEW_TEXT_CONFIRMED = 1, VIEW_TEXT_CANCELLED = 2 };
struct ViewReaction {
    uint8_t capture;
    bool repaint;      // invalidate
    bool repaint_now;  // invalidate and update at once
    int32_t cursor;    // VIEW_CURSOR_*; VIEW_CURSOR_CLASS leaves it alone
    uint8_t text_end;  // VIEW_TEXT_*
    int32_t event_count;
    ViewEvent events[3];  // in order; window, context and text are the caller's to fill
};

void view_button_down(ViewState* view, int x, int y, ViewReaction* reaction);
void view_mouse_move(ViewState* view, int x, int y, ViewReaction* reaction);
void view_button_up(ViewState* view, int x, int y, ViewReaction* reaction);
void view_escape(ViewState* view, ViewReaction* reaction);
// Starts text placement of a text measured w x h pixels at zoom 100.
void view_start_text(ViewState* view, int text_width, int text_height);

// The rectangle to show with the darkened outside: the drag rectangle while drawing, else the
// selection; false when neither applies.
bool view_shown_frame(const ViewState* view, ViewRect* frame);

// ---- painting helpers (window-free) -------------------------------------------------------

// Darkening table: v < 64 gives 0, else v - 64.
extern const uint8_t VIEW_DARKEN[256];
// Darkens the 24-bit pixels of the area `picture` (window coordinates) that lie outside `keep`,
// in a top-down buffer of width x height pixels with `stride` bytes per line.
void view_darken_outside(uint8_t* pixels, int width, int height, int stride, const ViewRect& picture,
                         const ViewRect& keep);
// The eight 6 x 6 handle squares of a frame in window coordinates: corners and side middles.
void view_handle_squares(const ViewRect& frame, ViewRect squares[8]);

// ---- what the photo document needs of its view ---------------------------------------------

// A font as the add-text dialog describes it; the view makes the GDI font from it.
struct ViewFont {
    int32_t height;  // negative: character height in pixels
    int32_t weight;  // 400 normal, 700 bold
    bool italic;
    bool underline;
    bool strike_out;
    wchar_t face[32];
};

// The view as its owner sees it. CBmp implements it for the window; a document holds a pointer.
class PictureView {
public:
    virtual ~PictureView() = default;
    // Shows `picture` (or nothing); with `owns` the view frees it when replaced or destroyed.
    virtual void set_picture(Picture* picture, bool owns) = 0;
    virtual void set_display_mode(ViewDisplay mode) = 0;
    virtual void set_zoom(int percent) = 0;
    virtual int zoom() const = 0;
    virtual void set_background(uint32_t colour) = 0;
    virtual void set_frame_colour(uint32_t colour) = 0;
    virtual void set_callback(ViewCallback callback, void* context) = 0;
    virtual void set_selection_mode(uint32_t mode) = 0;  // VIEW_SELECTION_ON or 0
    virtual void clear_selection() = 0;
    // The selection as left, top, right, bottom in picture pixels; false when there is none.
    virtual bool selection(ViewRect* rect) const = 0;
    virtual void set_frame_shape(int code) = 0;
    virtual void start_text(const wchar_t* text, const ViewFont& font, uint32_t colour) = 0;
    virtual void repaint() = 0;
};
