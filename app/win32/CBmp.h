// The image view window, class "CBmp": one picture fitted or zoomed, scrolled, with a selection
// frame to draw, resize and move, or a line of text to place.
#pragma once

#include <windows.h>

#include <string>

#include "app/CBmp.h"
#include "app/bitmap.h"
#include "app/win32/Window.h"

// The LOGFONT of a font description, as the view places a text and the font dialog previews it.
LOGFONTW view_font_logfont(const ViewFont& font);

class CBmp final : public Window<CBmp>, public PictureView {
public:
    // Creates a view as a child of `parent` with the caller's style plus child, both scroll bars
    // and tab stop. Null when the class or the window cannot be made.
    static HWND create(HWND parent, DWORD style, COLORREF background, UINT id = 0);
    // Window<CBmp>::of gives the view object of a window, or null (a window that is not a view,
    // or one already gone).
    const ViewState& state() const { return state_; }
    const Picture* picture() const { return picture_; }

    // PictureView. A picture handed over with `owns` must have been made with `new` and filled
    // by the library: the view frees it with picture_free and delete.
    void set_picture(Picture* picture, bool owns) override;
    void set_display_mode(ViewDisplay mode) override;
    void set_zoom(int percent) override;
    int zoom() const override { return state_.zoom_x; }
    void set_background(uint32_t colour) override;
    void set_frame_colour(uint32_t colour) override;
    uint32_t frame_colour() const { return frame_colour_; }
    void set_callback(ViewCallback callback, void* context) override;
    void set_selection_mode(uint32_t mode) override;
    void clear_selection() override;
    bool selection(ViewRect* rect) const override;
    void set_frame_shape(int code) override;
    void start_text(const wchar_t* text, const ViewFont& font, uint32_t colour) override;
    void repaint() override;

private:
    CBmp() = default;
    ~CBmp() override;

    static LRESULT on_create(CBmp&, HWND, UINT, WPARAM, LPARAM);
    static LRESULT on_size(CBmp&, HWND, UINT, WPARAM, LPARAM);
    static LRESULT on_paint(CBmp&, HWND, UINT, WPARAM, LPARAM);
    static LRESULT on_scroll(CBmp&, HWND, UINT, WPARAM, LPARAM);
    static LRESULT on_mouse(CBmp&, HWND, UINT, WPARAM, LPARAM);
    static LRESULT on_key_down(CBmp&, HWND, UINT, WPARAM, LPARAM);
    static bool register_class();
    void detached() override;

    void lay_out(bool force_rebuild);
    void scroll(int bar, int request);
    void react(const ViewReaction& reaction);
    void end_text();
    void release_picture();
    void paint(HDC dc, const RECT& update);
    void paint_composed(HDC dc, const RECT& client);
    void fill_outside_picture(HDC dc, const RECT& area) const;
    RECT picture_rect() const;

    ViewState state_{};
    Picture* picture_ = nullptr;
    DisplayBitmap display_{};
    bool display_ok_ = false;
    COLORREF background_ = 0;
    COLORREF frame_colour_ = 0x0000FF;
    ViewCallback callback_ = nullptr;
    void* context_ = nullptr;
    std::wstring text_;
    HFONT font_ = nullptr;
    COLORREF text_colour_ = 0;
    bool in_layout_ = false;

    static const MessageMap<CBmp>::Pair message_pairs_[];

public:
    static const MessageMap<CBmp> message_map;
};
