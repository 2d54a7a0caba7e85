#include "editing/document.h"

#include <cstdlib>
#include <new>

#include "core/format.h"
#include "core/load.h"
#include "core/save.h"
#include "editing/red_eyes.h"
#include "formats/common/exif.h"
#include "ops/colour.h"
#include "ops/depth.h"
#include "ops/filter.h"
#include "ops/geometry.h"

namespace {

void free_record(Picture*& p)
{
    if (!p) return;
    picture_free(p);
    delete p;
    p = nullptr;
}

void show(PhotoDocument* doc)
{
    if (doc->view) doc->view->view_set_picture(doc->current_picture);
}

// After a failed operation the current record either still holds the undo picture's blocks
// (the operation wrote nothing) or holds none (what it made was freed): either way it gets a copy
// of its own, so that the two never share storage and nothing is freed twice.
void restore_after_failure(PhotoDocument* doc)
{
    if (!doc->undo_enabled || !doc->undo_picture || !doc->current_picture) return;
    Picture copy{};
    if (picture_clone(doc->undo_picture, &copy) == 0) {
        *doc->current_picture = copy;
    } else {
        // Without memory for a copy the undo state is given up rather than shared.
        *doc->current_picture = *doc->undo_picture;
        *doc->undo_picture = Picture{};
        free_record(doc->undo_picture);
    }
}

// The shape of every retouching command: keep the undo state, run the operation from the undo
// picture into the current one (or in place without undo), show the result, mark the change.
template <typename Operation>
bool retouch(PhotoDocument* doc, Operation&& operation)
{
    if (!doc->current_picture) return false;
    document_save_undo(doc);
    const Status status = doc->undo_enabled ? operation(doc->undo_picture, doc->current_picture)
                                            : operation(doc->current_picture, nullptr);
    if (status != STATUS_OK) {
        restore_after_failure(doc);
        show(doc);
        return false;
    }
    show(doc);
    doc->modified = true;
    return true;
}

bool has_colour_components(const PhotoDocument* doc)
{
    return doc->current_picture && doc->current_picture->components_per_pixel >= 2;
}

Rect from_edges(int left, int top, int right, int bottom) { return Rect{left, top, right - left, bottom - top}; }

// The Exif orientation of a freshly opened photo: the picture is turned upright and the tag
// set to 1, so that the photo is never turned twice.
PictureChunk* exif_chunk(const Picture* picture)
{
    for (PictureChunk* c = picture->chunks; c; c = c->next)
        if (c->kind == CHUNK_EXIF && c->bytes) return c;
    return nullptr;
}

bool open_with(PhotoDocument* doc, const char* path, const LoadParams& params)
{
    document_release_current(doc);
    auto* picture = new (std::nothrow) Picture{};
    if (!picture) return false;
    doc->modified = false;
    if (load_picture(path, picture, &params, nullptr) != STATUS_OK) {
        delete picture;
        return false;
    }
    picture_settle_orientation(picture);
    doc->current_picture = picture;
    doc->file_name = path;
    show(doc);
    return true;
}

LoadParams photo_params()
{
    LoadParams params;
    load_params_init(&params);
    // The photo's comment, Exif and IPTC blocks follow it through every edit and back into the file.
    params.flags |= LOAD_KEEP_COMMENT | LOAD_KEEP_CHUNKS;
    return params;
}

}  // namespace

int picture_settle_orientation(Picture* picture)
{
    const PictureChunk* exif = exif_chunk(picture);
    const int orientation = exif ? exif_orientation(exif->bytes, exif->size) : 0;
    if (orientation < 2) return 1;
    // The turn gives the picture new blocks, its chunks included: look the block up again after.
    if (picture_apply_orientation(picture, orientation) != STATUS_OK) return 1;
    PictureChunk* turned = exif_chunk(picture);
    if (turned) exif_set_orientation(turned->bytes, turned->size, 1);
    return orientation;
}

Status picture_apply_orientation(Picture* p, int orientation)
{
    switch (orientation) {
    case 2: return image_flip_horizontal(p, nullptr, nullptr);
    case 3: return image_rotate(p, nullptr, 180, nullptr);
    case 4: return image_flip_vertical(p, nullptr, nullptr);
    case 5:
        LUM_TRY(image_rotate(p, nullptr, 90, nullptr));
        return image_flip_horizontal(p, nullptr, nullptr);
    case 6: return image_rotate(p, nullptr, 90, nullptr);
    case 7:
        LUM_TRY(image_rotate(p, nullptr, 90, nullptr));
        return image_flip_vertical(p, nullptr, nullptr);
    case 8: return image_rotate(p, nullptr, -90, nullptr);
    default: return STATUS_OK;
    }
}

bool document_open(PhotoDocument* doc, const char* path) { return open_with(doc, path, photo_params()); }

bool document_open_fit(PhotoDocument* doc, const char* path, int box_width, int box_height)
{
    LoadParams params = photo_params();
    params.reduce_method = 2;
    params.box_width = box_width;
    params.box_height = box_height;
    return open_with(doc, path, params);
}

void document_undo(PhotoDocument* doc)
{
    if (!doc->undo_picture) return;
    document_release_current(doc);
    doc->current_picture = doc->undo_picture;
    doc->undo_picture = nullptr;
    show(doc);
    doc->modified = false;
}

bool document_undo_all(PhotoDocument* doc)
{
    const std::string name = doc->file_name;
    return document_open(doc, name.c_str());
}

bool document_save(PhotoDocument* doc, const char* path, int quality)
{
    if (!doc->current_picture) return false;
    SaveParams params;
    save_params_init(&params);
    params.format_index = static_cast<int16_t>(format_find_by_name("jpeg"));
    params.quality = static_cast<uint16_t>(quality);
    if (save_picture(path, doc->current_picture, &params) != STATUS_OK) return false;
    doc->modified = false;
    return true;
}

void document_release_current(PhotoDocument* doc)
{
    if (doc->view) doc->view->view_set_picture(nullptr);
    free_record(doc->current_picture);
}

void document_release_all(PhotoDocument* doc)
{
    document_release_current(doc);
    free_record(doc->undo_picture);
}

void document_set_undo(PhotoDocument* doc, bool enabled)
{
    doc->undo_enabled = enabled;
    if (enabled) free_record(doc->undo_picture);
}

void document_save_undo(PhotoDocument* doc)
{
    if (doc->undo_picture) picture_free(doc->undo_picture);
    if (!doc->undo_enabled || !doc->current_picture) return;
    if (!doc->undo_picture) doc->undo_picture = new (std::nothrow) Picture{};
    if (!doc->undo_picture) {
        // Without a record for the undo state the command works in place.
        doc->undo_enabled = false;
        return;
    }
    *doc->undo_picture = *doc->current_picture;
}

bool document_rotate(PhotoDocument* doc, int angle)
{
    return retouch(doc, [&](Picture* s, Picture* d) { return image_rotate(s, d, angle, nullptr); });
}

bool document_flip_horizontal(PhotoDocument* doc)
{
    return retouch(doc, [](Picture* s, Picture* d) { return image_flip_horizontal(s, d, nullptr); });
}

bool document_flip_vertical(PhotoDocument* doc)
{
    return retouch(doc, [](Picture* s, Picture* d) { return image_flip_vertical(s, d, nullptr); });
}

bool document_auto_contrast(PhotoDocument* doc)
{
    if (!has_colour_components(doc)) return false;
    return retouch(doc, [](Picture* s, Picture* d) { return image_auto_contrast(s, d, nullptr); });
}

bool document_auto_levels(PhotoDocument* doc)
{
    if (!has_colour_components(doc)) return false;
    return retouch(doc, [](Picture* s, Picture* d) { return image_auto_levels(s, d, nullptr); });
}

bool document_blur(PhotoDocument* doc, unsigned strength)
{
    return retouch(doc, [&](Picture* s, Picture* d) { return image_blur(s, d, nullptr, strength); });
}

bool document_sharpen(PhotoDocument* doc)
{
    return retouch(doc, [](Picture* s, Picture* d) { return image_sharpen(s, d, nullptr); });
}

bool document_black_and_white(PhotoDocument* doc)
{
    return retouch(doc, [](Picture* s, Picture* d) { return image_change_depth(s, d, 9, 0); });
}

bool document_sepia(PhotoDocument* doc)
{
    if (!has_colour_components(doc)) return false;
    return retouch(doc, [](Picture* s, Picture* d) { return image_sepia(s, d, nullptr, 100); });
}

bool document_adjust(PhotoDocument* doc, int brightness, int contrast, double gamma, int red, int green, int blue)
{
    return retouch(doc, [&](Picture* s, Picture* d) {
        LUM_TRY(image_adjust(s, d, nullptr, brightness, contrast, gamma));
        if (red == 0 && green == 0 && blue == 0) return Status{STATUS_OK};
        // The balance works on the adjusted picture, wherever the adjustment put it.
        Picture* adjusted = d ? d : s;
        const Status balanced = image_colour_balance(adjusted, nullptr, nullptr, red, green, blue);
        if (balanced != STATUS_OK && d) picture_free(d);  // leave nothing half made behind
        return balanced;
    });
}

bool document_red_eyes(PhotoDocument* doc, int left, int top, int right, int bottom)
{
    return retouch(doc, [&](Picture* s, Picture* d) {
        if (d) LUM_TRY(picture_copy(s, d, nullptr));
        Picture* target = d ? d : s;
        const Status status = image_red_eyes(target, left, top, right - left, bottom - top);
        if (status != STATUS_OK && d) picture_free(d);
        return status;
    });
}

bool document_crop(PhotoDocument* doc, int left, int top, int right, int bottom)
{
    const Rect r = from_edges(left, top, right, bottom);
    return retouch(doc, [&](Picture* s, Picture* d) { return image_crop(s, d, &r); });
}
