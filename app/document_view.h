// The image view as the photo document sees it.
#pragma once

#include "app/CBmp.h"
#include "editing/document.h"

class PictureViewForDocument : public DocumentView {
public:
    explicit PictureViewForDocument(PictureView* view) : view_(view) {}

    void view_set_picture(const Picture* picture) override;
    void view_zoom_in() override;
    void view_zoom_out() override;
    void view_fit() override;
    void view_set_selection_mode(int mode) override;
    void view_set_frame_shape(int shape) override;
    void view_set_frame_colour(uint32_t colour) override;
    bool view_selection(int* left, int* top, int* right, int* bottom) override;

private:
    PictureView* view_;
};
