#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/format.h"
#include "core/load.h"
#include "core/save.h"
#include "editing/document.h"
#include "editing/red_eyes.h"
#include "formats/common/exif.h"
#include "support/corpus.h"
#include "support/files.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct RecordingView : DocumentView {
    std::vector<const Picture*> shown;
    void view_set_picture(const Picture* p) override { shown.push_back(p); }
    void view_zoom_in() override {}
    void view_zoom_out() override {}
    void view_fit() override {}
    void view_set_selection_mode(int) override {}
    void view_set_frame_shape(int) override {}
    void view_set_frame_colour(uint32_t) override {}
    bool view_selection(int*, int*, int*, int*) override { return false; }
};

Bytes pixels(const Picture* p)
{
    Bytes out;
    for (int y = 0; y < p->height; ++y) {
        const uint8_t* row = picture_line(p, y);
        out.insert(out.end(), row, row + p->width * p->bytes_per_pixel);
    }
    return out;
}

// Four flat quadrants of distinct colours: any turn or mirror shows in the corners, and JPEG
// keeps flat areas nearly exact.
void quadrants(Picture* p, int w, int h)
{
    picture_alloc(p, PIXEL_RGB, 4, w, h);
    const uint8_t colours[4][3] = {{250, 20, 20}, {20, 250, 20}, {20, 20, 250}, {240, 240, 20}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int q = (y >= h / 2 ? 2 : 0) + (x >= w / 2 ? 1 : 0);
            std::memcpy(picture_line(p, y) + 3 * x, colours[q], 3);
        }
}

int corner_colour(const Picture* p, int corner)
{
    const int x = corner & 1 ? p->width - 4 : 3, y = corner & 2 ? p->height - 4 : 3;
    const uint8_t* px = picture_line(p, y) + x * p->bytes_per_pixel;
    const int channel = px[0] > 128 ? (px[1] > 128 ? 3 : 0) : px[1] > 128 ? 1 : 2;
    return channel;
}

class Document : public ::testing::Test {
protected:
    void SetUp() override
    {
        library_init();
        doc.view = &view;
        document_set_undo(&doc, true);
        Picture p{};
        quadrants(&p, 64, 32);
        SaveParams params;
        save_params_init(&params);
        params.format_index = 0;
        params.quality = 95;
        ASSERT_EQ(save_picture(photo.path(), &p, &params), STATUS_OK);
        picture_free(&p);
    }
    void TearDown() override
    {
        document_release_all(&doc);
        library_exit();
    }

    TempFile photo{".jpg"};
    RecordingView view;
    PhotoDocument doc;
};

TEST_F(Document, OneLevelOfUndoAndTheModifiedMark)
{
    ASSERT_EQ(document_open(&doc, photo.path()), STATUS_OK);
    EXPECT_FALSE(doc.modified);
    const Bytes opened = pixels(doc.current_picture.get());
    ASSERT_EQ(document_rotate(&doc, 90), STATUS_OK);
    EXPECT_TRUE(doc.modified);
    EXPECT_EQ(doc.current_picture->width, 32);
    const Bytes turned = pixels(doc.current_picture.get());
    ASSERT_EQ(document_flip_horizontal(&doc), STATUS_OK);
    EXPECT_NE(doc.current_picture->data, doc.undo_picture->data);
    document_undo(&doc);
    EXPECT_FALSE(doc.modified);
    EXPECT_EQ(pixels(doc.current_picture.get()), turned);
    EXPECT_EQ(doc.undo_picture, nullptr);
    document_undo(&doc);  // one level only
    EXPECT_EQ(pixels(doc.current_picture.get()), turned);
    EXPECT_EQ(view.shown.back(), doc.current_picture.get());

    // Undo all reopens the file but keeps the undo picture, so undo brings back the edit.
    ASSERT_EQ(document_sepia(&doc), STATUS_OK);
    const Bytes sepia = pixels(doc.current_picture.get());
    ASSERT_EQ(document_undo_all(&doc), STATUS_OK);
    EXPECT_EQ(pixels(doc.current_picture.get()), opened);
    ASSERT_NE(doc.undo_picture, nullptr);
    document_undo(&doc);
    EXPECT_EQ(pixels(doc.current_picture.get()), turned);
    (void)sepia;

    document_release_all(&doc);
    EXPECT_EQ(doc.current_picture, nullptr);
    EXPECT_EQ(doc.undo_picture, nullptr);
    EXPECT_EQ(view.shown.back(), nullptr);
}

TEST_F(Document, ColourOnlyCommandsLeaveOneComponentPicturesAlone)
{
    ASSERT_EQ(document_open(&doc, photo.path()), STATUS_OK);
    ASSERT_EQ(document_black_and_white(&doc), STATUS_OK);
    EXPECT_EQ(doc.current_picture->components_per_pixel, 1);
    document_set_undo(&doc, true);  // drops the undo picture
    doc.modified = false;
    EXPECT_NE(document_auto_contrast(&doc), STATUS_OK);
    EXPECT_NE(document_auto_levels(&doc), STATUS_OK);
    EXPECT_NE(document_sepia(&doc), STATUS_OK);
    EXPECT_FALSE(doc.modified);
    EXPECT_EQ(doc.undo_picture, nullptr);
    // Commands without a photo do nothing.
    document_release_all(&doc);
    EXPECT_NE(document_rotate(&doc, 90), STATUS_OK);
    EXPECT_NE(document_crop(&doc, 0, 0, 5, 5), STATUS_OK);
}

TEST_F(Document, AFailingOperationLeavesNoSharedStorage)
{
    ASSERT_EQ(document_open(&doc, photo.path()), STATUS_OK);
    const Bytes before = pixels(doc.current_picture.get());
    EXPECT_EQ(document_crop(&doc, 100, 100, 120, 120), STATUS_BAD_PARAMETER);  // wholly outside
    EXPECT_FALSE(doc.modified);
    EXPECT_EQ(doc.undo_picture, nullptr);  // as it was before the command
    EXPECT_EQ(pixels(doc.current_picture.get()), before);
    EXPECT_EQ(document_crop(&doc, 8, 4, 40, 20), STATUS_OK);
    EXPECT_EQ(doc.current_picture->width, 32);
    EXPECT_EQ(doc.current_picture->height, 16);
    // A failure after a success keeps the undo picture of the success, apart from the current one.
    EXPECT_NE(document_crop(&doc, 100, 100, 120, 120), STATUS_OK);
    ASSERT_NE(doc.undo_picture, nullptr);
    EXPECT_NE(doc.current_picture->data, doc.undo_picture->data);
    EXPECT_EQ(doc.undo_picture->width, 64);
    EXPECT_EQ(doc.current_picture->width, 32);

    // Without undo the failing command works in place and changes nothing.
    document_set_undo(&doc, false);
    const Bytes cropped = pixels(doc.current_picture.get());
    EXPECT_NE(document_crop(&doc, -50, -50, -10, -10), STATUS_OK);
    EXPECT_EQ(pixels(doc.current_picture.get()), cropped);
}

TEST_F(Document, SavingReplacesThePhotoOnlyWhenItWorks)
{
    ASSERT_EQ(document_open(&doc, photo.path()), STATUS_OK);
    ASSERT_EQ(document_flip_vertical(&doc), STATUS_OK);
    const std::string on_disk = read_file(photo.path());
    EXPECT_NE(document_save(&doc, "/no/such/folder/photo.jpg", 80), STATUS_OK);
    EXPECT_TRUE(doc.modified);
    EXPECT_EQ(read_file(photo.path()), on_disk);
    ASSERT_EQ(document_save(&doc, photo.path(), 80), STATUS_OK);
    EXPECT_FALSE(doc.modified);
    const Bytes saved = pixels(doc.current_picture.get());
    ASSERT_EQ(document_rotate(&doc, -90), STATUS_OK);
    ASSERT_EQ(document_undo_all(&doc), STATUS_OK);  // reloads the saved file
    EXPECT_EQ(doc.current_picture->width, 64);
    EXPECT_EQ(corner_colour(doc.current_picture.get(), 0), 2);  // the flipped picture
}

TEST_F(Document, AdjustRunsTheBalanceOnlyWhenAsked)
{
    ASSERT_EQ(document_open(&doc, photo.path()), STATUS_OK);
    ASSERT_EQ(document_adjust(&doc, 10, 0, 1.0, 0, 0, 0), STATUS_OK);
    const Bytes adjusted = pixels(doc.current_picture.get());
    document_undo(&doc);
    ASSERT_EQ(document_adjust(&doc, 10, 0, 1.0, 30, 0, -30), STATUS_OK);
    EXPECT_NE(pixels(doc.current_picture.get()), adjusted);
    EXPECT_NE(doc.current_picture->data, doc.undo_picture->data);
}

TEST_F(Document, MetadataSurvivesOpenEditAndSave)
{
    TempFile copy(".jpg", read_file(corpus_path("jpeg/FurnaceCreekInn.jpg")));
    Picture original{};
    LoadParams params;
    load_params_init(&params);
    params.flags = LOAD_KEEP_CHUNKS | LOAD_KEEP_COMMENT;
    ASSERT_EQ(load_picture(copy.path(), &original, &params, nullptr), STATUS_OK);
    ASSERT_EQ(document_open(&doc, copy.path()), STATUS_OK);
    ASSERT_EQ(document_sharpen(&doc), STATUS_OK);
    ASSERT_EQ(document_save(&doc, copy.path(), 80), STATUS_OK);
    Picture saved{};
    ASSERT_EQ(load_picture(copy.path(), &saved, &params, nullptr), STATUS_OK);
    const PictureChunk* a = original.chunks;
    const PictureChunk* b = saved.chunks;
    int count = 0;
    for (; a && b; a = a->next, b = b->next, ++count) {
        EXPECT_EQ(a->kind, b->kind);
        ASSERT_EQ(a->size, b->size);
        EXPECT_EQ(std::memcmp(a->bytes, b->bytes, a->size), 0);
    }
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(b, nullptr);
    EXPECT_GE(count, 2);
    picture_free(&original);
    picture_free(&saved);
}

// A minimal Exif block holding an orientation.
Bytes exif_with_orientation(int orientation)
{
    return Bytes{'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0,
                 static_cast<uint8_t>(orientation), 0, 0, 0, 0, 0, 0, 0};
}

TEST_F(Document, EveryExifOrientationOpensUprightAndSavesAsOne)
{
    Picture upright{};
    quadrants(&upright, 64, 32);
    const int inverse[9] = {0, 1, 2, 3, 4, 5, 8, 7, 6};
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        Picture stored{};
        ASSERT_EQ(picture_clone(&upright, &stored), 0);
        ASSERT_EQ(picture_apply_orientation(&stored, inverse[orientation]), STATUS_OK);
        const Bytes exif = exif_with_orientation(orientation);
        auto* chunk = static_cast<PictureChunk*>(calloc(1, sizeof(PictureChunk)));
        chunk->kind = CHUNK_EXIF;
        chunk->size = static_cast<uint32_t>(exif.size());
        chunk->bytes = static_cast<uint8_t*>(malloc(exif.size()));
        std::memcpy(chunk->bytes, exif.data(), exif.size());
        stored.chunks = chunk;
        TempFile file(".jpg");
        SaveParams params;
        save_params_init(&params);
        params.format_index = 0;
        params.quality = 95;
        ASSERT_EQ(save_picture(file.path(), &stored, &params), STATUS_OK);
        picture_free(&stored);

        ASSERT_EQ(document_open(&doc, file.path()), STATUS_OK);
        EXPECT_EQ(doc.current_picture->width, 64);
        for (int corner = 0; corner < 4; ++corner) EXPECT_EQ(corner_colour(doc.current_picture.get(), corner), corner);
        ASSERT_EQ(document_save(&doc, file.path(), 80), STATUS_OK);
        Picture back{};
        LoadParams load;
        load_params_init(&load);
        load.flags = LOAD_KEEP_CHUNKS;
        ASSERT_EQ(load_picture(file.path(), &back, &load, nullptr), STATUS_OK);
        ASSERT_NE(back.chunks, nullptr);
        EXPECT_EQ(exif_orientation(back.chunks->bytes, back.chunks->size), 1);
        picture_free(&back);
    }
    picture_free(&upright);
}

TEST_F(Document, UndoAfterUndoWasSwitchedOffDoesNothing)
{
    ASSERT_EQ(document_open(&doc, photo.path()), STATUS_OK);
    ASSERT_EQ(document_rotate(&doc, 90), STATUS_OK);
    document_set_undo(&doc, false);
    ASSERT_EQ(document_flip_horizontal(&doc), STATUS_OK);
    const Bytes now = pixels(doc.current_picture.get());
    document_undo(&doc);
    ASSERT_NE(doc.current_picture, nullptr);
    ASSERT_NE(doc.current_picture->data, nullptr);
    EXPECT_EQ(doc.current_picture->width, 32);
    EXPECT_EQ(pixels(doc.current_picture.get()), now);
    EXPECT_TRUE(doc.modified);
    EXPECT_EQ(doc.undo_picture, nullptr);
}

TEST_F(Document, OpeningIntoABoxFitsTheUprightPhoto)
{
    // Stored 100 x 200, shown 200 x 100 (orientation 6 turns it a quarter clockwise).
    Picture upright{};
    quadrants(&upright, 200, 100);
    ASSERT_EQ(picture_apply_orientation(&upright, 8), STATUS_OK);
    const Bytes exif = exif_with_orientation(6);
    auto* chunk = static_cast<PictureChunk*>(calloc(1, sizeof(PictureChunk)));
    chunk->kind = CHUNK_EXIF;
    chunk->size = static_cast<uint32_t>(exif.size());
    chunk->bytes = static_cast<uint8_t*>(malloc(exif.size()));
    std::memcpy(chunk->bytes, exif.data(), exif.size());
    upright.chunks = chunk;
    TempFile file(".jpg");
    SaveParams params;
    save_params_init(&params);
    params.format_index = 0;
    ASSERT_EQ(save_picture(file.path(), &upright, &params), STATUS_OK);
    picture_free(&upright);

    ASSERT_EQ(document_open_fit(&doc, file.path(), 100, 80), STATUS_OK);
    EXPECT_EQ(doc.current_picture->width, 100);
    EXPECT_EQ(doc.current_picture->height, 50);
    for (int corner = 0; corner < 4; ++corner) EXPECT_EQ(corner_colour(doc.current_picture.get(), corner), corner);
    // A photo without a turn keeps the box as given.
    ASSERT_EQ(document_open_fit(&doc, photo.path(), 32, 32), STATUS_OK);
    EXPECT_EQ(doc.current_picture->width, 32);
    EXPECT_EQ(doc.current_picture->height, 16);
}

TEST_F(Document, FramesReachingTheEndsOfTheNumberRangeCoverTheWholePhoto)
{
    ASSERT_EQ(document_open(&doc, photo.path()), STATUS_OK);
    ASSERT_EQ(document_red_eyes(&doc, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX), STATUS_OK);
    // The red quadrant's pixels inside the ellipse went dark.
    EXPECT_LT(picture_line(doc.current_picture.get(), 10)[3 * 20], 60);
    ASSERT_EQ(document_crop(&doc, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX), STATUS_OK);
    EXPECT_EQ(doc.current_picture->width, 64);
    EXPECT_EQ(doc.current_picture->height, 32);
    ASSERT_EQ(document_crop(&doc, INT32_MAX - 1, 0, INT32_MAX, 5) == false, STATUS_OK);
    ASSERT_EQ(document_crop(&doc, -10, -10, 20, INT32_MAX), STATUS_OK);
    EXPECT_EQ(doc.current_picture->width, 20);
    EXPECT_EQ(doc.current_picture->height, 32);
}

TEST(RedEyes, SixteenBitPicturesAreRefusedAndLeftAlone)
{
    Picture p{};
    ASSERT_EQ(picture_alloc_depth(&p, PIXEL_RGB, 1, 2, 2, 16), 1);
    for (uint64_t i = 0; i < picture_data_size(&p); i += 6) {
        const uint16_t red[3] = {60000, 300, 300};
        std::memcpy(p.data + i, red, 6);
    }
    const Bytes before(p.data, p.data + picture_data_size(&p));
    EXPECT_EQ(image_red_eyes(&p, 0, 0, 2, 2), STATUS_BAD_PARAMETER);
    EXPECT_EQ(Bytes(p.data, p.data + picture_data_size(&p)), before);
    picture_free(&p);
}

TEST(RedEyes, CorrectsRedInsideTheEllipseOnly)
{
    Picture p{};
    ASSERT_EQ(picture_alloc(&p, PIXEL_RGB, 1, 5, 1), 1);
    const uint8_t in[15] = {255, 0, 0, 220, 160, 130, 120, 40, 40, 255, 0, 0, 1, 2, 3};
    std::memcpy(p.data, in, 15);
    ASSERT_EQ(image_red_eyes(&p, 0, 0, 5, 1), STATUS_OK);  // one line high: no ellipse
    // A nearly black pixel passes the first test too: its red becomes the mean of green and blue.
    const Bytes expected = {0, 0, 0, 220, 160, 130, 32, 32, 32, 0, 0, 0, 2, 2, 3};
    EXPECT_EQ(Bytes(p.data, p.data + 15), expected);
    picture_free(&p);

    // 5 x 5 all red, framed partly outside: the corners of the clipped frame stay red.
    ASSERT_EQ(picture_alloc(&p, PIXEL_BGR, 1, 5, 5), 1);
    for (int i = 0; i < 25; ++i) p.data[3 * i] = 255;
    ASSERT_EQ(image_red_eyes(&p, -5, -5, 10, 10), STATUS_OK);
    EXPECT_EQ(picture_line(&p, 0)[0], 255);
    EXPECT_EQ(picture_line(&p, 4)[12], 255);
    EXPECT_EQ(picture_line(&p, 2)[6], 0);
    EXPECT_EQ(image_red_eyes(&p, 10, 10, 4, 4), STATUS_BAD_PARAMETER);
    picture_free(&p);

    ASSERT_EQ(picture_alloc(&p, PIXEL_GREY, 1, 4, 4), 1);
    EXPECT_EQ(image_red_eyes(&p, 0, 0, 4, 4), STATUS_BAD_PARAMETER);
    picture_free(&p);
}

}  // namespace
