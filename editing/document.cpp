#include "editing/document.h"

#include <cstdint>
#include <cstdlib>
#include <utility>

#include "core/format.h"
#include "core/load.h"
#include "core/save.h"
#include "editing/red_eyes.h"
#include "formats/common/exif.h"
#include "formats/jpeg/jpeg_transform.h"
#include "ops/colour.h"
#include "ops/depth.h"
#include "ops/filter.h"
#include "ops/geometry.h"

namespace {

void show(PhotoDocument* doc)
{
    if (doc->view) doc->view->view_set_picture(doc->current_picture.get());
}

// The undo hand-over, the one place where a command's pictures change hands. With undo, the
// operation builds a new picture from the current one; only when it succeeds does the current
// picture become the undo picture and the new one the current. Without undo, an undo picture left
// from before no longer matches and goes, and the operation works in place. Either way a failed
// operation leaves both pictures as they were.
template <typename Operation>
Status run_with_undo(PhotoDocument* doc, Operation&& operation)
{
    if (!doc->undo_enabled) {
        doc->undo_picture.reset();
        return operation(doc->current_picture.get(), nullptr);
    }
    PictureHandle result = PictureHandle::create();
    if (!result) return STATUS_NO_MEMORY;
    LUM_TRY(operation(doc->current_picture.get(), result.get()));
    doc->undo_picture = std::move(doc->current_picture);
    doc->current_picture = std::move(result);
    return STATUS_OK;
}

// The shape of every retouching command: the operation through the undo hand-over, the result
// shown, the change marked.
// `turn` names the command when it is a quarter turn or a flip (an orientation code), else 0.
template <typename Operation>
Status retouch(PhotoDocument* doc, Operation&& operation, int turn = 0)
{
    if (!doc->current_picture) return STATUS_BAD_PARAMETER;
    const Status status = run_with_undo(doc, operation);
    show(doc);
    if (status != STATUS_OK) return status;
    doc->modified = true;
    doc->undo_turn_known = doc->undo_enabled && doc->turn_known;
    doc->undo_turn = doc->turn;
    if (turn && doc->turn_known) doc->turn = turn_compose(doc->turn, turn);
    else doc->turn_known = false;
    return status;
}

int turn_of_angle(int angle)
{
    switch (((angle % 360) + 360) % 360) {
    case 90: return TURN_RIGHT;
    case 180: return TURN_HALF;
    case 270: return TURN_LEFT;
    default: return 0;
    }
}

bool has_colour_components(const PhotoDocument* doc)
{
    return doc->current_picture && doc->current_picture->components_per_pixel >= 2;
}

// The frame between two pairs of edges, held to the picture: what lies outside is clipped away by
// the operations anyway, and held there no edge, however far out, can overflow the frame's size.
Rect frame_from_edges(const Picture* p, int left, int top, int right, int bottom)
{
    auto hold = [](int64_t v, int64_t end) { return v < 0 ? 0 : v > end ? end : v; };
    const int64_t l = hold(left, p->width), r = hold(right, p->width);
    const int64_t t = hold(top, p->height), b = hold(bottom, p->height);
    return Rect{static_cast<int32_t>(l), static_cast<int32_t>(t), static_cast<int32_t>(r - l), static_cast<int32_t>(b - t)};
}

// The Exif orientation of a freshly opened photo: the picture is turned upright and the tag
// set to 1, so that the photo is never turned twice.
PictureChunk* exif_chunk(const Picture* picture)
{
    for (PictureChunk* c = picture->chunks; c; c = c->next)
        if (c->kind == CHUNK_EXIF && c->bytes) return c;
    return nullptr;
}

int exif_orientation_of(const Picture* picture)
{
    const PictureChunk* exif = exif_chunk(picture);
    return exif ? exif_orientation(exif->bytes, exif->size) : 0;
}

// Loads a photo as it was stored (not yet turned upright).
Status load_photo(const char* path, const LoadParams& params, FileInfo* info, PictureHandle* out)
{
    PictureHandle picture = PictureHandle::create();
    if (!picture) return STATUS_NO_MEMORY;
    FileInfo local{};
    const Status status = load_picture(path, picture.get(), &params, info ? info : &local);
    file_info_free_texts(&local);
    LUM_TRY(status);
    *out = std::move(picture);
    return STATUS_OK;
}

Status install(PhotoDocument* doc, const char* path, PictureHandle picture)
{
    picture_settle_orientation(picture.get());
    doc->current_picture = std::move(picture);
    doc->file_name = path;
    show(doc);
    return STATUS_OK;
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

Status document_open(PhotoDocument* doc, const char* path, FileInfo* info)
{
    document_release_current(doc);
    doc->modified = false;
    doc->turn_known = doc->undo_turn_known = false;
    PictureHandle picture;
    FileInfo local{};
    FileInfo* seen = info ? info : &local;
    const Status status = load_photo(path, photo_params(), seen, &picture);
    const bool jpeg = seen->format_index == format_find_by_name("jpeg");
    file_info_free_texts(&local);
    LUM_TRY(status);
    const int orientation = exif_orientation_of(picture.get());
    doc->from_jpeg = jpeg;
    doc->turn_known = jpeg;
    doc->turn = orientation >= 1 && orientation <= 8 ? orientation : TURN_NONE;
    return install(doc, path, std::move(picture));
}

Status document_open_fit(PhotoDocument* doc, const char* path, int box_width, int box_height, FileInfo* info)
{
    document_release_current(doc);
    doc->modified = false;
    doc->from_jpeg = doc->turn_known = doc->undo_turn_known = false;  // a reduced picture is never saved
    LoadParams params = photo_params();
    params.reduce_method = 2;
    params.box_width = box_width;
    params.box_height = box_height;
    PictureHandle picture;
    LUM_TRY(load_photo(path, params, info, &picture));
    // Orientations 5 to 8 turn the photo a quarter: the box it must fit once upright is the
    // given one turned too. The orientation is known only once the file is read.
    const int orientation = exif_orientation_of(picture.get());
    if (orientation >= 5 && box_width != box_height) {
        params.box_width = box_height;
        params.box_height = box_width;
        picture.reset();
        if (info) file_info_free_texts(info);
        LUM_TRY(load_photo(path, params, info, &picture));
    }
    return install(doc, path, std::move(picture));
}

void document_undo(PhotoDocument* doc)
{
    if (!doc->undo_picture) return;
    document_release_current(doc);
    doc->current_picture = std::move(doc->undo_picture);
    doc->turn = doc->undo_turn;
    doc->turn_known = doc->undo_turn_known;
    doc->undo_turn_known = false;
    show(doc);
    doc->modified = false;
}

Status document_undo_all(PhotoDocument* doc)
{
    const std::string name = doc->file_name;
    return document_open(doc, name.c_str());
}

Status document_save(PhotoDocument* doc, const char* path, int quality)
{
    if (!doc->current_picture) return STATUS_BAD_PARAMETER;
    SaveParams params;
    save_params_init(&params);
    params.format_index = static_cast<int16_t>(format_find_by_name("jpeg"));
    params.quality = static_cast<uint16_t>(quality);
    const bool onto_source = doc->file_name == path;
    if (doc->from_jpeg && doc->turn_known) {
        const Status lossless = jpeg_turn_file(doc->file_name.c_str(), path, doc->turn);
        if (lossless == STATUS_OK) {
            doc->modified = false;
            if (onto_source) {
                // The file now holds the picture as it stands: turns are counted from it again.
                doc->undo_turn = turn_compose(turn_inverse(doc->turn), doc->undo_turn);
                doc->turn = TURN_NONE;
            }
            return STATUS_OK;
        }
        // Sides that are not whole blocks, or a file changed under us: the ordinary road.
    }
    LUM_TRY(save_picture(path, doc->current_picture.get(), &params));
    doc->modified = false;
    // Compressed again, the file is no longer the one the turns were counted from.
    if (onto_source) doc->turn_known = doc->undo_turn_known = false;
    return STATUS_OK;
}

void document_release_current(PhotoDocument* doc)
{
    if (doc->view) doc->view->view_set_picture(nullptr);
    doc->current_picture.reset();
}

void document_release_all(PhotoDocument* doc)
{
    document_release_current(doc);
    doc->undo_picture.reset();
}

void document_set_undo(PhotoDocument* doc, bool enabled)
{
    doc->undo_enabled = enabled;
    if (enabled) {
        doc->undo_picture.reset();
        doc->undo_turn_known = false;
    }
}

Status document_rotate(PhotoDocument* doc, int angle)
{
    return retouch(doc, [&](Picture* s, Picture* d) { return image_rotate(s, d, angle, nullptr); }, turn_of_angle(angle));
}

Status document_flip_horizontal(PhotoDocument* doc)
{
    return retouch(doc, [](Picture* s, Picture* d) { return image_flip_horizontal(s, d, nullptr); }, TURN_FLIP_H);
}

Status document_flip_vertical(PhotoDocument* doc)
{
    return retouch(doc, [](Picture* s, Picture* d) { return image_flip_vertical(s, d, nullptr); }, TURN_FLIP_V);
}

Status document_auto_contrast(PhotoDocument* doc)
{
    if (!has_colour_components(doc)) return STATUS_BAD_PARAMETER;
    return retouch(doc, [](Picture* s, Picture* d) { return image_auto_contrast(s, d, nullptr); });
}

Status document_auto_levels(PhotoDocument* doc)
{
    if (!has_colour_components(doc)) return STATUS_BAD_PARAMETER;
    return retouch(doc, [](Picture* s, Picture* d) { return image_auto_levels(s, d, nullptr); });
}

Status document_blur(PhotoDocument* doc, unsigned strength)
{
    return retouch(doc, [&](Picture* s, Picture* d) { return image_blur(s, d, nullptr, strength); });
}

Status document_sharpen(PhotoDocument* doc)
{
    return retouch(doc, [](Picture* s, Picture* d) { return image_sharpen(s, d, nullptr); });
}

Status document_black_and_white(PhotoDocument* doc)
{
    return retouch(doc, [](Picture* s, Picture* d) { return image_change_depth(s, d, 9, 0); });
}

Status document_sepia(PhotoDocument* doc)
{
    if (!has_colour_components(doc)) return STATUS_BAD_PARAMETER;
    return retouch(doc, [](Picture* s, Picture* d) { return image_sepia(s, d, nullptr, 100); });
}

Status document_adjust(PhotoDocument* doc, int brightness, int contrast, double gamma, int red, int green, int blue)
{
    return retouch(doc, [&](Picture* s, Picture* d) {
        LUM_TRY(image_adjust(s, d, nullptr, brightness, contrast, gamma));
        if (red == 0 && green == 0 && blue == 0) return Status{STATUS_OK};
        // The balance works on the adjusted picture, wherever the adjustment put it.
        return image_colour_balance(d ? d : s, nullptr, nullptr, red, green, blue);
    });
}

Status document_red_eyes(PhotoDocument* doc, int left, int top, int right, int bottom)
{
    return retouch(doc, [&](Picture* s, Picture* d) {
        const Rect r = frame_from_edges(s, left, top, right, bottom);
        if (d) LUM_TRY(picture_copy(s, d, nullptr));
        return image_red_eyes(d ? d : s, r.x, r.y, r.w, r.h);
    });
}

Status document_crop(PhotoDocument* doc, int left, int top, int right, int bottom)
{
    return retouch(doc, [&](Picture* s, Picture* d) {
        const Rect r = frame_from_edges(s, left, top, right, bottom);
        return image_crop(s, d, &r);
    });
}

Status document_replace(PhotoDocument* doc, PictureHandle picture)
{
    if (!picture) return STATUS_BAD_PARAMETER;
    // The record's blocks change hands with its fields; the emptied record is freed with the handle.
    return retouch(doc, [&](Picture* s, Picture* d) {
        Picture* target = d ? d : s;
        if (!d) picture_free(s);
        *target = *picture;
        *picture = Picture{};
        return STATUS_OK;
    });
}
