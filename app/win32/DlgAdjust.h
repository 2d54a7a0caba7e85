// The adjust-colours dialog: six vertical sliders and the photo before and after, the after
// preview recomputed from the loaded picture while a slider is dragged.
#pragma once

#include <string>

#include "app/document_view.h"
#include "app/win32/ModalDialog.h"
#include "editing/adjust.h"

class DlgAdjust : public ModalDialog<DlgAdjust> {
public:
    // `file_name` is the photo document's, in the system's 8-bit code page; the previews show the
    // file as it is on disk.
    DlgAdjust(HWND owner, const std::string& file_name);
    ~DlgAdjust() override;

    // After run(): the values read from the sliders when the dialog closed (whichever button).
    const AdjustResult& result() const { return result_; }
    // The before and after documents while the dialog is open (for the tests).
    const PhotoDocument& before() const { return before_; }
    const PhotoDocument& after() const { return after_; }

    static const CommandMap<DlgAdjust> command_map;

protected:
    INT_PTR init() override;
    void vertical_scroll(WPARAM wparam, LPARAM lparam) override;
    void horizontal_scroll(WPARAM wparam, LPARAM lparam) override { vertical_scroll(wparam, lparam); }
    void destroy() override;

private:
    friend struct DlgAdjustCommands;
    void attach_preview(PhotoDocument* doc, PictureViewForDocument** bridge, int frame_id);
    void read_positions(int positions[ADJUST_SLIDERS]) const;
    void show_value(int slider, int position);
    void finish(bool apply);

    std::string file_name_;
    PhotoDocument before_;
    PhotoDocument after_;
    PictureViewForDocument* before_view_ = nullptr;
    PictureViewForDocument* after_view_ = nullptr;
    AdjustResult result_{0, 0, 1.0, 0, 0, 0};
};

// Slider and value-field control ids, in slider order.
extern const int ADJUST_SLIDER_IDS[ADJUST_SLIDERS];
extern const int ADJUST_VALUE_IDS[ADJUST_SLIDERS];
