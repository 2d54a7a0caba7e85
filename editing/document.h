// The photo document: the picture being edited, one level of undo, the file it came from and a
// modified mark. Every retouching command goes through it; it reaches its view through
// DocumentView, so that the document runs (and is tested) without windows.
#pragma once

#include <string>

#include "core/picture.h"

// What the document asks of the window that shows its picture.
class DocumentView {
public:
    virtual ~DocumentView() = default;
    // The picture to show (borrowed), or null for none.
    virtual void view_set_picture(const Picture* picture) = 0;
    virtual void view_zoom_in() = 0;
    virtual void view_zoom_out() = 0;
    virtual void view_fit() = 0;
    // 0 none, 1 crop frame, 2 red-eye frame.
    virtual void view_set_selection_mode(int mode) = 0;
    virtual void view_set_frame_shape(int shape) = 0;
    virtual void view_set_frame_colour(uint32_t colour) = 0;
    // The selection as left, top, right, bottom; false when there is none.
    virtual bool view_selection(int* left, int* top, int* right, int* bottom) = 0;
};

struct PhotoDocument {
    DocumentView* view = nullptr;
    uint32_t background = 0;
    Picture* undo_picture = nullptr;
    Picture* current_picture = nullptr;
    std::string file_name;
    bool undo_enabled = false;
    bool modified = false;
};

// Opening keeps the photo's comment, Exif and IPTC blocks, and turns the picture upright as its
// Exif orientation says (the saved file then carries orientation 1).
bool document_open(PhotoDocument* doc, const char* path);
bool document_open_fit(PhotoDocument* doc, const char* path, int box_width, int box_height);
void document_undo(PhotoDocument* doc);
bool document_undo_all(PhotoDocument* doc);
// Saves as JPEG at the given quality; the photo on disk is replaced only by a complete file.
bool document_save(PhotoDocument* doc, const char* path, int quality);
void document_release_current(PhotoDocument* doc);
void document_release_all(PhotoDocument* doc);
void document_set_undo(PhotoDocument* doc, bool enabled);
void document_save_undo(PhotoDocument* doc);

// The retouching commands. Each returns false when it did nothing (no picture, or a picture the
// command does not apply to) or when its operation failed; a failed operation leaves the
// document as it was before the command.
bool document_rotate(PhotoDocument* doc, int angle);
bool document_flip_horizontal(PhotoDocument* doc);
bool document_flip_vertical(PhotoDocument* doc);
bool document_auto_contrast(PhotoDocument* doc);
bool document_auto_levels(PhotoDocument* doc);
bool document_blur(PhotoDocument* doc, unsigned strength);
bool document_sharpen(PhotoDocument* doc);
bool document_black_and_white(PhotoDocument* doc);
bool document_sepia(PhotoDocument* doc);
bool document_adjust(PhotoDocument* doc, int brightness, int contrast, double gamma, int red, int green, int blue);
bool document_red_eyes(PhotoDocument* doc, int left, int top, int right, int bottom);
bool document_crop(PhotoDocument* doc, int left, int top, int right, int bottom);

// Turns and mirrors a picture in place as an Exif orientation (1 to 8) says it should be shown.
Status picture_apply_orientation(Picture* picture, int orientation);
// Turns a freshly loaded picture upright by the orientation of its kept Exif block and sets that
// orientation to 1, so that it is never turned twice. Returns the orientation applied (1 when
// the picture was left as it was).
int picture_settle_orientation(Picture* picture);
