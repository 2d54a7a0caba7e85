#include "app/document_view.h"

// The document keeps its pictures: the view only borrows them.
void PictureViewForDocument::view_set_picture(const Picture* picture)
{
    view_->set_picture(const_cast<Picture*>(picture), false);
}

void PictureViewForDocument::view_zoom_in()
{
    view_->set_display_mode(ViewDisplay::zoom);
    view_->set_zoom(view_->zoom() + 10);
}

void PictureViewForDocument::view_zoom_out()
{
    view_->set_display_mode(ViewDisplay::zoom);
    view_->set_zoom(view_->zoom() - 10);
}

void PictureViewForDocument::view_fit() { view_->set_display_mode(ViewDisplay::fit); }

void PictureViewForDocument::view_set_selection_mode(int mode)
{
    view_->set_selection_mode(mode ? VIEW_SELECTION_ON : 0);
    if (!mode) view_->clear_selection();
}

void PictureViewForDocument::view_set_frame_shape(int shape) { view_->set_frame_shape(shape); }

void PictureViewForDocument::view_set_frame_colour(uint32_t colour) { view_->set_frame_colour(colour); }

bool PictureViewForDocument::view_selection(int* left, int* top, int* right, int* bottom)
{
    ViewRect r;
    if (!view_->selection(&r)) return false;
    *left = r.left;
    *top = r.top;
    *right = r.right;
    *bottom = r.bottom;
    return true;
}
