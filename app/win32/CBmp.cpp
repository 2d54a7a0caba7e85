// The "CBmp" window: the view's logic (app/CBmp.cpp) wired to messages, scroll bars and GDI.
#include "app/win32/CBmp.h"

#include <cwchar>
#include <new>

#include "app/win32/bitmap.h"

namespace {

constexpr wchar_t kClassName[] = L"CBmp";

LPCWSTR cursor_resource(int cursor)
{
    switch (cursor) {
    case VIEW_CURSOR_SIZE_NWSE: return IDC_SIZENWSE;
    case VIEW_CURSOR_SIZE_NESW: return IDC_SIZENESW;
    case VIEW_CURSOR_SIZE_NS: return IDC_SIZENS;
    case VIEW_CURSOR_SIZE_WE: return IDC_SIZEWE;
    case VIEW_CURSOR_SIZE_ALL: return IDC_SIZEALL;
    default: return nullptr;
    }
}

void fill(HDC dc, const RECT& area, COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &area, brush);
    DeleteObject(brush);
}

void set_bar(HWND window, int bar, const ViewScrollBar& b)
{
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    if (b.shown) {
        // A range of 0..size-1 with a page of the visible size lets the thumb reach exactly the
        // scroll limit.
        si.nMax = b.max - 1;
        si.nPage = static_cast<UINT>(b.page);
        si.nPos = b.position;
    }
    SetScrollInfo(window, bar, &si, TRUE);
}

}  // namespace

const MessageMap<CBmp>::Pair CBmp::message_pairs_[] = {
    {WM_CREATE, CBmp::on_create},         {WM_SIZE, CBmp::on_size},
    {WM_PAINT, CBmp::on_paint},           {WM_HSCROLL, CBmp::on_scroll},
    {WM_VSCROLL, CBmp::on_scroll},        {WM_MOUSEMOVE, CBmp::on_mouse},
    {WM_LBUTTONDOWN, CBmp::on_mouse},     {WM_LBUTTONUP, CBmp::on_mouse},
    {WM_KEYDOWN, CBmp::on_key_down},
};
const MessageMap<CBmp> CBmp::message_map{CBmp::message_pairs_, DefaultProc::window};

bool CBmp::register_class()
{
    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kClassName;
    return WindowBase::register_class(wc);
}

HWND CBmp::create(HWND parent, DWORD style, COLORREF background, UINT id)
{
    if (!register_class()) return nullptr;
    auto* view = new (std::nothrow) CBmp;
    if (!view) return nullptr;
    bool gone = false;
    HWND window = view->create_window(0, kClassName, L"view", style | WS_CHILD | WS_HSCROLL | WS_VSCROLL | WS_TABSTOP,
                                      0, 0, 256, 256, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                      &gone);
    if (!window) {
        if (!gone) delete view;
        return nullptr;
    }
    view->set_background(background);
    return window;
}

// The window owns its view: the object goes with it.
void CBmp::detached()
{
    delete this;
}

CBmp::~CBmp()
{
    display_release(&display_);
    release_picture();
    if (font_) DeleteObject(font_);
}

// ---- messages --------------------------------------------------------------------------------

LRESULT CBmp::on_create(CBmp& view, HWND window, UINT, WPARAM, LPARAM)
{
    view_state_init(&view.state_);
    // Without a buffer the view stays blank; the failure shows again at every prepare.
    display_init_window(window, &view.display_, 256, 256);
    view.lay_out(false);  // no picture yet: both bars emptied
    return 0;
}

LRESULT CBmp::on_size(CBmp& view, HWND, UINT, WPARAM, LPARAM)
{
    if (view.picture_) view.lay_out(false);
    return 0;
}

LRESULT CBmp::on_paint(CBmp& view, HWND window, UINT, WPARAM, LPARAM)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    view.paint(dc, ps.rcPaint);
    EndPaint(window, &ps);
    return 0;
}

LRESULT CBmp::on_scroll(CBmp& view, HWND, UINT message, WPARAM wparam, LPARAM)
{
    view.scroll(message == WM_HSCROLL ? SB_HORZ : SB_VERT, LOWORD(wparam));
    return 0;
}

// Button down, mouse move and button up: the logic step is picked by the message.
LRESULT CBmp::on_mouse(CBmp& self, HWND, UINT message, WPARAM, LPARAM lparam)
{
    CBmp* view = &self;
    using Step = void (*)(ViewState*, int, int, ViewReaction*);
    const Step step = message == WM_MOUSEMOVE     ? view_mouse_move
                      : message == WM_LBUTTONDOWN ? view_button_down
                                                  : view_button_up;
    ViewReaction r;
    step(&view->state_, static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)), &r);
    view->react(r);
    return 0;
}

LRESULT CBmp::on_key_down(CBmp& self, HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    CBmp* view = &self;
    if (wparam != VK_ESCAPE) return DefWindowProcW(window, message, wparam, lparam);
    ViewReaction r;
    view_escape(&view->state_, &r);
    view->react(r);
    return 0;
}

// ---- behaviour -------------------------------------------------------------------------------

void CBmp::react(const ViewReaction& r)
{
    if (r.capture == VIEW_CAPTURE_TAKE) SetCapture(window());
    if (r.capture == VIEW_CAPTURE_RELEASE && GetCapture() == window()) ReleaseCapture();
    if (LPCWSTR cursor = cursor_resource(r.cursor)) SetCursor(LoadCursorW(nullptr, cursor));
    if (r.repaint || r.repaint_now) InvalidateRect(window(), nullptr, FALSE);
    if (r.repaint_now) UpdateWindow(window());

    const HWND window = this->window();
    for (int i = 0; i < r.event_count; ++i) {
        ViewEvent e = r.events[i];
        e.window = window;
        e.context = context_;
        ViewTextInfo info{};
        if (e.code == VIEW_EVENT_TEXT_PLACED && r.text_end == VIEW_TEXT_CONFIRMED) {
            info = ViewTextInfo{e.x, e.y, text_.c_str(), font_, text_colour_};
            e.text = &info;
        }
        if (callback_) callback_(&e);
        // The receiver may have destroyed the view.
        if (of(window) != this) return;
    }
    if (r.text_end != VIEW_TEXT_GOING_ON) end_text();
}

void CBmp::end_text()
{
    if (font_) DeleteObject(font_);
    font_ = nullptr;
    text_.clear();
    InvalidateRect(window(), nullptr, FALSE);
}

void CBmp::release_picture()
{
    if (picture_ && (state_.state_flags & VIEW_OWNS_PICTURE)) {
        picture_free(picture_);
        delete picture_;
    }
    picture_ = nullptr;
    state_.state_flags &= ~VIEW_OWNS_PICTURE;
}

void CBmp::lay_out(bool force_rebuild)
{
    // Showing or hiding a scroll bar sends WM_SIZE back here; the layout already counts with the
    // room of both bars, so that inner call has nothing to add.
    if (in_layout_) return;
    in_layout_ = true;
    RECT rc;
    GetClientRect(window(), &rc);
    const LONG style = GetWindowLongW(window(), GWL_STYLE);
    const ViewLayoutInput in{rc.right,
                             rc.bottom,
                             GetSystemMetrics(SM_CXVSCROLL),
                             GetSystemMetrics(SM_CYHSCROLL),
                             (style & WS_HSCROLL) != 0,
                             (style & WS_VSCROLL) != 0,
                             force_rebuild};
    ViewLayout out;
    view_layout(&state_, in, &out);
    if (view_has_picture(&state_) && state_.display_mode == ViewDisplay::zoom) {
        set_bar(window(), SB_HORZ, out.horizontal);
        set_bar(window(), SB_VERT, out.vertical);
    } else {
        set_bar(window(), SB_HORZ, ViewScrollBar{});
        set_bar(window(), SB_VERT, ViewScrollBar{});
        ShowScrollBar(window(), SB_BOTH, FALSE);
    }
    if (!view_has_picture(&state_))
        display_ok_ = false;
    else if (out.rebuild)
        display_ok_ = display_prepare_window(&display_, picture_, state_.display_width, state_.display_height,
                                             force_rebuild) == STATUS_OK;
    in_layout_ = false;
}

void CBmp::scroll(int bar, int request)
{
    const bool horizontal = bar == SB_HORZ;
    const int limit = horizontal ? state_.scroll_limit_x : state_.scroll_limit_y;
    if (limit <= 0) return;
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(window(), bar, &si);
    int32_t& value = horizontal ? state_.scroll_x : state_.scroll_y;
    const int kind = request == SB_THUMBTRACK ? VIEW_SCROLL_TO : request;
    const int target = view_scroll_target(value, limit, kind, static_cast<int>(si.nPage), si.nTrackPos);
    if (target == value) return;
    SetScrollPos(window(), bar, target, TRUE);
    const int delta = value - target;
    ScrollWindowEx(window(), horizontal ? delta : 0, horizontal ? 0 : delta, nullptr, nullptr, nullptr, nullptr,
                   SW_INVALIDATE);
    value = target;
}

// ---- painting --------------------------------------------------------------------------------

RECT CBmp::picture_rect() const
{
    return RECT{-state_.scroll_x, -state_.scroll_y, -state_.scroll_x + state_.display_width,
                -state_.scroll_y + state_.display_height};
}

void CBmp::fill_outside_picture(HDC dc, const RECT& area) const
{
    const RECT p = picture_rect();
    const int saved = SaveDC(dc);
    ExcludeClipRect(dc, p.left, p.top, p.right, p.bottom);
    fill(dc, area, background_);
    RestoreDC(dc, saved);
}

void CBmp::paint(HDC dc, const RECT& update)
{
    if (!picture_ || !display_ok_ || !view_has_picture(&state_)) {
        fill(dc, update, background_);
        return;
    }
    ViewRect frame;
    if (state_.drag_state == ViewDrag::text || view_shown_frame(&state_, &frame)) {
        RECT client;
        GetClientRect(window(), &client);
        paint_composed(dc, client);
        return;
    }
    fill_outside_picture(dc, update);
    display_draw(dc, &display_, -state_.scroll_x, -state_.scroll_y, update);
}

// The picture with the text being placed, or with the frame over its darkened outside, drawn off
// screen and copied in one piece so that nothing flickers while the mouse moves.
void CBmp::paint_composed(HDC dc, const RECT& client)
{
    const int width = client.right, height = client.bottom;
    if (width < 1 || height < 1) return;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;  // top-down, so that lines index from the top
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP surface = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = surface ? CreateCompatibleDC(dc) : nullptr;
    if (!memory) {
        if (surface) DeleteObject(surface);
        fill_outside_picture(dc, client);
        display_draw(dc, &display_, -state_.scroll_x, -state_.scroll_y, client);
        return;
    }
    HGDIOBJ old_bitmap = SelectObject(memory, surface);
    fill(memory, client, background_);
    display_draw(memory, &display_, -state_.scroll_x, -state_.scroll_y, client);

    if (state_.drag_state == ViewDrag::text) {
        // The text at the picture's scale: 10000 logical units are the zoomed 10000 pixels.
        SetMapMode(memory, MM_ANISOTROPIC);
        SetWindowExtEx(memory, 10000, 10000, nullptr);
        SetViewportExtEx(memory, static_cast<int>(10000 * state_.zoom_x_exact * 0.01),
                         static_cast<int>(10000 * state_.zoom_y_exact * 0.01), nullptr);
        SetViewportOrgEx(memory, -state_.scroll_x, -state_.scroll_y, nullptr);
        HGDIOBJ old_font = font_ ? SelectObject(memory, font_) : nullptr;
        SetTextColor(memory, text_colour_);
        SetBkMode(memory, TRANSPARENT);
        RECT r{state_.text_x, state_.text_y, state_.text_x + 1024, state_.text_y + 1024};
        DrawTextW(memory, text_.c_str(), -1, &r, DT_NOCLIP | DT_NOPREFIX);
        if (old_font) SelectObject(memory, old_font);
        SetMapMode(memory, MM_TEXT);
        SetViewportOrgEx(memory, 0, 0, nullptr);
    } else {
        ViewRect f;
        view_shown_frame(&state_, &f);
        const ViewRect shown{view_picture_to_window_x(&state_, f.left), view_picture_to_window_y(&state_, f.top),
                             view_picture_to_window_x(&state_, f.right), view_picture_to_window_y(&state_, f.bottom)};
        const RECT p = picture_rect();
        GdiFlush();
        const int stride = static_cast<int>(display_dib_stride(width, 24));
        view_darken_outside(static_cast<uint8_t*>(bits), width, height, stride,
                            ViewRect{p.left, p.top, p.right, p.bottom}, shown);
        HPEN pen = CreatePen(PS_SOLID, 3, frame_colour_);
        HGDIOBJ old_pen = SelectObject(memory, pen);
        HGDIOBJ old_brush = SelectObject(memory, GetStockObject(NULL_BRUSH));
        Rectangle(memory, shown.left, shown.top, shown.right, shown.bottom);
        SelectObject(memory, old_brush);
        SelectObject(memory, old_pen);
        DeleteObject(pen);
        ViewRect squares[8];
        view_handle_squares(shown, squares);
        for (const ViewRect& s : squares) {
            RECT r{s.left, s.top, s.right, s.bottom};
            InvertRect(memory, &r);
        }
    }
    BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old_bitmap);
    DeleteDC(memory);
    DeleteObject(surface);
}

// ---- operations ------------------------------------------------------------------------------

void CBmp::set_picture(Picture* picture, bool owns)
{
    if (picture_ != picture) release_picture();
    picture_ = picture;
    if (owns && picture) state_.state_flags |= VIEW_OWNS_PICTURE;
    else state_.state_flags &= ~VIEW_OWNS_PICTURE;
    // A frame drag in progress ends with the picture it was drawn on.
    if (state_.drag_state != ViewDrag::none && state_.drag_state != ViewDrag::text && GetCapture() == window())
        ReleaseCapture();
    view_state_set_picture(&state_, picture);
    display_ok_ = false;
    lay_out(true);
    InvalidateRect(window(), nullptr, FALSE);
}

void CBmp::set_display_mode(ViewDisplay mode)
{
    view_set_display_mode(&state_, mode);
    lay_out(false);
    InvalidateRect(window(), nullptr, FALSE);
}

void CBmp::set_zoom(int percent)
{
    RECT rc;
    GetClientRect(window(), &rc);
    view_set_zoom(&state_, percent, rc.right, rc.bottom);
    lay_out(false);
    InvalidateRect(window(), nullptr, FALSE);
}

void CBmp::set_background(uint32_t colour)
{
    background_ = colour;
    InvalidateRect(window(), nullptr, FALSE);
}

void CBmp::set_frame_colour(uint32_t colour)
{
    frame_colour_ = colour;
    InvalidateRect(window(), nullptr, FALSE);
}

void CBmp::set_callback(ViewCallback callback, void* context)
{
    callback_ = callback;
    context_ = context;
}

void CBmp::set_selection_mode(uint32_t mode) { view_set_selection_mode(&state_, mode); }

void CBmp::clear_selection()
{
    state_.state_flags &= ~VIEW_HAS_SELECTION;
    state_.selection = ViewRect{};
    InvalidateRect(window(), nullptr, FALSE);
}

bool CBmp::selection(ViewRect* rect) const
{
    if (!view_has_selection(&state_)) return false;
    *rect = state_.selection;
    return true;
}

void CBmp::set_frame_shape(int code)
{
    view_set_frame_shape(&state_, code);
    InvalidateRect(window(), nullptr, FALSE);
}

LOGFONTW view_font_logfont(const ViewFont& font)
{
    LOGFONTW lf{};
    lf.lfHeight = font.height;
    lf.lfWeight = font.weight;
    lf.lfItalic = font.italic;
    lf.lfUnderline = font.underline;
    lf.lfStrikeOut = font.strike_out;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = PROOF_QUALITY;
    lf.lfPitchAndFamily = VARIABLE_PITCH;
    std::wcsncpy(lf.lfFaceName, font.face, LF_FACESIZE - 1);
    return lf;
}

void CBmp::start_text(const wchar_t* text, const ViewFont& font, uint32_t colour)
{
    if (font_) DeleteObject(font_);
    SetFocus(window());
    text_ = text ? text : L"";
    text_colour_ = colour;
    const LOGFONTW lf = view_font_logfont(font);
    font_ = CreateFontIndirectW(&lf);

    RECT box{0, 0, 0, 0};
    if (HDC dc = GetDC(window())) {
        HGDIOBJ old = font_ ? SelectObject(dc, font_) : nullptr;
        DrawTextW(dc, text_.c_str(), -1, &box, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        if (old) SelectObject(dc, old);
        ReleaseDC(window(), dc);
    }
    view_start_text(&state_, box.right - box.left, box.bottom - box.top);
    // The text appears under the pointer straight away rather than at the corner.
    POINT at;
    if (GetCursorPos(&at) && ScreenToClient(window(), &at)) {
        ViewReaction ignored;
        view_mouse_move(&state_, at.x, at.y, &ignored);
    }
    SetCapture(window());
    InvalidateRect(window(), nullptr, FALSE);
}

void CBmp::repaint() { InvalidateRect(window(), nullptr, FALSE); }
