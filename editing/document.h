// The photo document: the picture being edited, one level of undo, the file it came from and a
// modified mark. Every retouching command goes through it; it reaches its view through
// DocumentView, so that the document runs (and is tested) without windows.
#pragma once

#include <string>

#include "core/load.h"
#include "core/picture.h"
#include "core/picture_handle.h"

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

// The document owns both pictures; between commands they never share a block.
struct PhotoDocument {
    DocumentView* view = nullptr;
    uint32_t background = 0;
    PictureHandle undo_picture;
    PictureHandle current_picture;
    std::string file_name;
    bool undo_enabled = false;
    bool modified = false;
    // While the picture differs from the JPEG file it was opened from only by a turn (its Exif
    // orientation, quarter turns, flips), saving rearranges the file's blocks instead of
    // compressing the picture again. `turn` is that turn when `turn_known`; the undo picture's
    // account is kept beside it.
    bool from_jpeg = false;
    bool turn_known = false;
    int turn = 1;
    bool undo_turn_known = false;
    int undo_turn = 1;
};

// Opening keeps the photo's comment, Exif and IPTC blocks, and turns the picture upright as its
// Exif orientation says (the saved file then carries orientation 1). The load's status is
// returned; `info`, when given (cleared to zero), receives what the load tells of the file (its
// format, and the reader's message on failure); its texts are the caller's to free.
Status document_open(PhotoDocument* doc, const char* path, FileInfo* info = nullptr);
// As document_open, the upright photo no larger than the box.
Status document_open_fit(PhotoDocument* doc, const char* path, int box_width, int box_height,
                         FileInfo* info = nullptr);
// Brings back the picture from before the last command; does nothing without an undo picture.
void document_undo(PhotoDocument* doc);
Status document_undo_all(PhotoDocument* doc);
// Saves as JPEG at the given quality; the photo on disk is replaced only by a complete file.
// A photo opened from a JPEG file whose only changes are turns and flips is saved without loss
// (its sides permitting), so that standing a photo upright never costs it quality.
Status document_save(PhotoDocument* doc, const char* path, int quality);
void document_release_current(PhotoDocument* doc);
void document_release_all(PhotoDocument* doc);
void document_set_undo(PhotoDocument* doc, bool enabled);

// The retouching commands. Each returns the operation's status, or STATUS_BAD_PARAMETER when it
// did nothing (no picture, or a picture the command does not apply to); a failed command leaves
// the document as it was before it. Frames are given by their edges, any 32-bit numbers.
Status document_rotate(PhotoDocument* doc, int angle);
Status document_flip_horizontal(PhotoDocument* doc);
Status document_flip_vertical(PhotoDocument* doc);
Status document_auto_contrast(PhotoDocument* doc);
Status document_auto_levels(PhotoDocument* doc);
Status document_blur(PhotoDocument* doc, unsigned strength);
Status document_sharpen(PhotoDocument* doc);
Status document_black_and_white(PhotoDocument* doc);
Status document_sepia(PhotoDocument* doc);
Status document_adjust(PhotoDocument* doc, int brightness, int contrast, double gamma, int red, int green, int blue);
Status document_red_eyes(PhotoDocument* doc, int left, int top, int right, int bottom);
Status document_crop(PhotoDocument* doc, int left, int top, int right, int bottom);
// Makes `picture`, built from the current one by an operation outside the library (the text
// stamped by the window code), the current picture through the same undo hand-over as every
// command: shown, marked modified, and no longer a mere turn of the file.
Status document_replace(PhotoDocument* doc, PictureHandle picture);

// Turns and mirrors a picture in place as an Exif orientation (1 to 8) says it should be shown.
Status picture_apply_orientation(Picture* picture, int orientation);
// Turns a freshly loaded picture upright by the orientation of its kept Exif block and sets that
// orientation to 1, so that it is never turned twice. Returns the orientation applied (1 when
// the picture was left as it was).
int picture_settle_orientation(Picture* picture);
