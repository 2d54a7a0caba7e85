// Lossless turns of JPEG files: the block rearrangement must give exactly what decoding and
// turning the pixels gives, keep the photo's metadata, and refuse what it cannot do without loss.
#include "formats/jpeg/jpeg_transform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "core/format.h"
#include "core/load.h"
#include "core/save.h"
#include "editing/document.h"
#include "formats/common/exif.h"
#include "support/files.h"

namespace {

std::string read_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string read_stream(FILE* f)
{
    std::rewind(f);
    std::string text;
    char buffer[512];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    std::fclose(f);
    return text;
}

int worst_difference(const Picture& a, const Picture& b)
{
    int worst = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width * 3; ++x)
            worst = std::max(worst, std::abs(a.data[y * a.bytes_per_line + x] - b.data[y * b.bytes_per_line + x]));
    return worst;
}

// An Exif block holding an orientation in its first directory and a second directory (where
// cameras describe their thumbnail).
std::vector<uint8_t> exif_with_orientation(int orientation)
{
    std::vector<uint8_t> b = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0,
                              1, 0,                                   // one entry
                              0x12, 0x01, 3, 0, 1, 0, 0, 0, static_cast<uint8_t>(orientation), 0, 0, 0,
                              26, 0, 0, 0,                            // next directory at 26
                              1, 0, 0x03, 0x01, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0};
    return b;
}

class JpegTurn : public ::testing::Test {
protected:
    void SetUp() override { library_init(); }
    void TearDown() override { library_exit(); }

    // A photo of the given size whose every pixel differs from its neighbours in a way a wrong
    // turn cannot hide, saved with an orientation and a comment.
    void write_photo(const char* path, int width, int height, int orientation)
    {
        Picture p{};
        ASSERT_EQ(picture_alloc(&p, PIXEL_RGB, 4, width, height), 1);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint8_t* px = p.data + y * p.bytes_per_line + x * 3;
                px[0] = static_cast<uint8_t>(x * 255 / width);
                px[1] = static_cast<uint8_t>(y * 255 / height);
                px[2] = static_cast<uint8_t>((x < width / 3 && y < height / 4) ? 230 : 20);
            }
        const auto exif = exif_with_orientation(orientation);
        auto* chunk = static_cast<PictureChunk*>(std::calloc(1, sizeof(PictureChunk)));
        chunk->kind = 1;
        chunk->size = static_cast<uint32_t>(exif.size());
        chunk->bytes = static_cast<uint8_t*>(std::malloc(exif.size()));
        std::memcpy(chunk->bytes, exif.data(), exif.size());
        p.chunks = chunk;
        p.comment = strdup("a turned photo");
        SaveParams save;
        save_params_init(&save);
        save.format_index = static_cast<int16_t>(format_find_by_name("jpeg"));
        save.quality = 90;
        ASSERT_EQ(save_picture(path, &p, &save), STATUS_OK);
        picture_free(&p);
    }

    static Picture load(const char* path)
    {
        Picture p{};
        LoadParams params;
        load_params_init(&params);
        params.flags |= LOAD_KEEP_CHUNKS | LOAD_KEEP_COMMENT;
        EXPECT_EQ(load_picture(path, &p, &params, nullptr), STATUS_OK);
        return p;
    }
};

}  // namespace

TEST(TurnAlgebra, ComposesLikeTheTurnsThemselves)
{
    EXPECT_EQ(turn_compose(TURN_RIGHT, TURN_RIGHT), TURN_HALF);
    EXPECT_EQ(turn_compose(TURN_RIGHT, TURN_LEFT), TURN_NONE);
    EXPECT_EQ(turn_compose(TURN_HALF, TURN_RIGHT), TURN_LEFT);
    EXPECT_EQ(turn_compose(TURN_FLIP_H, TURN_FLIP_V), TURN_HALF);
    EXPECT_EQ(turn_compose(TURN_RIGHT, TURN_FLIP_H), 5);  // a quarter right then a mirror: transposition
    EXPECT_EQ(turn_compose(TURN_RIGHT, TURN_FLIP_V), 7);
    for (int a = 1; a <= 8; ++a) {
        EXPECT_EQ(turn_compose(a, turn_inverse(a)), TURN_NONE);
        EXPECT_EQ(turn_compose(TURN_NONE, a), a);
        for (int b = 1; b <= 8; ++b)
            for (int c = 1; c <= 8; ++c)
                ASSERT_EQ(turn_compose(turn_compose(a, b), c), turn_compose(a, turn_compose(b, c)));
    }
}

TEST_F(JpegTurn, EveryOrientationStandsUprightAsTheDecodedPixelsWould)
{
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        TempFile photo(".jpg"), upright(".jpg");
        write_photo(photo.path(), 64, 48, orientation);
        ASSERT_EQ(jpeg_turn_file(photo.path(), upright.path(), orientation), STATUS_OK);

        Picture expected = load(photo.path());
        ASSERT_EQ(picture_apply_orientation(&expected, orientation), STATUS_OK);
        Picture turned = load(upright.path());
        ASSERT_EQ(turned.width, expected.width);
        ASSERT_EQ(turned.height, expected.height);
        // The blocks are the same numbers in new places, but the decoder's integer transform
        // rounds its two passes in a fixed order and its chroma smoothing leans one way, so a
        // turned file decodes a level or two away from the turned decode. A wrong turn or a
        // recompression would be far further off.
        EXPECT_LE(worst_difference(turned, expected), 2);

        // The metadata came along; the orientation is now 1 and the thumbnail directory is gone.
        ASSERT_NE(turned.comment, nullptr);
        EXPECT_STREQ(turned.comment, "a turned photo");
        ASSERT_NE(turned.chunks, nullptr);
        EXPECT_EQ(exif_orientation(turned.chunks->bytes, turned.chunks->size), 1);
        ExifBlock block;
        ASSERT_TRUE(exif_open(turned.chunks->bytes, turned.chunks->size, &block));
        EXPECT_EQ(exif_u32(block, 8 + 2 + 12), 0u);
        picture_free(&expected);
        picture_free(&turned);
    }
}

TEST_F(JpegTurn, SidesThatAreNotWholeBlocksAreRefusedAndTheFileKept)
{
    TempFile photo(".jpg");
    write_photo(photo.path(), 50, 30, 6);
    const std::string before = read_bytes(photo.path());
    EXPECT_EQ(jpeg_turn_file(photo.path(), photo.path(), TURN_RIGHT), STATUS_TYPE_UNSUPPORTED);
    EXPECT_EQ(read_bytes(photo.path()), before);
    // A half turn moves the ragged edge too; a transposition alone does not need whole blocks
    // but is refused all the same, as the rule is one for every turn.
    EXPECT_EQ(jpeg_turn_file(photo.path(), photo.path(), TURN_HALF), STATUS_TYPE_UNSUPPORTED);
    TempFile not_jpeg(".jpg", "not a JPEG at all");
    EXPECT_EQ(jpeg_turn_file(not_jpeg.path(), not_jpeg.path(), TURN_RIGHT), STATUS_CORRUPT);
}

TEST_F(JpegTurn, CommandLineTurnsInPlaceRefusesOddSidesAndRecompressesWhenAllowed)
{
    TempFile good(".jpg"), odd(".jpg");
    write_photo(good.path(), 64, 48, 6);
    write_photo(odd.path(), 50, 30, 6);
    const std::string odd_before = read_bytes(odd.path());

    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    std::string g = good.path(), o = odd.path();
    char* argv[] = {const_cast<char*>("lumeva-cli"), const_cast<char*>("turn"), const_cast<char*>("--auto"),
                    g.data(), o.data()};
    EXPECT_EQ(cli_run(5, argv, out, err), 1);
    const std::string printed = read_stream(out);
    EXPECT_NE(printed.find("status=0 turn=6 lossless written=" + g), std::string::npos) << printed;
    EXPECT_NE(printed.find("status=7 file=" + o), std::string::npos) << printed;
    EXPECT_NE(read_stream(err).find("not whole JPEG blocks"), std::string::npos);
    EXPECT_EQ(read_bytes(odd.path()), odd_before);

    Picture upright = load(good.path());
    EXPECT_EQ(upright.width, 48);
    EXPECT_EQ(upright.height, 64);
    picture_free(&upright);

    FILE* quiet = std::tmpfile();
    char* argv2[] = {const_cast<char*>("lumeva-cli"), const_cast<char*>("turn"), const_cast<char*>("--auto"),
                     const_cast<char*>("--allow-recompress"), o.data()};
    EXPECT_EQ(cli_run(5, argv2, quiet, quiet), 0);
    std::fclose(quiet);
    Picture recompressed = load(odd.path());
    EXPECT_EQ(recompressed.width, 30);
    EXPECT_EQ(recompressed.height, 50);
    ASSERT_NE(recompressed.chunks, nullptr);
    EXPECT_EQ(exif_orientation(recompressed.chunks->bytes, recompressed.chunks->size), 1);
    picture_free(&recompressed);
}

// The program's save: lossless while the photo has only been turned, whichever way it got there.
class DocumentTurn : public JpegTurn {
protected:
    // The bytes a lossless turn of `path` gives, to recognise the road a save took.
    static std::string lossless_bytes(const char* path, int turn)
    {
        const std::string original = read_bytes(path);
        std::vector<uint8_t> in(original.begin(), original.end()), out;
        EXPECT_EQ(jpeg_turn_bytes(in, turn, &out), STATUS_OK);
        return std::string(out.begin(), out.end());
    }
};

TEST_F(DocumentTurn, TurnsAloneSaveWithoutLossAndAnyOtherChangeRecompresses)
{
    TempFile photo(".jpg"), saved(".jpg");
    write_photo(photo.path(), 64, 48, 6);  // opened upright: a quarter right already
    PhotoDocument doc;
    document_set_undo(&doc, true);
    ASSERT_EQ(document_open(&doc, photo.path()), STATUS_OK);

    // Turn then save: the Exif turn and the user's turn in one rearrangement.
    ASSERT_EQ(document_rotate(&doc, 90), STATUS_OK);
    ASSERT_EQ(document_save(&doc, saved.path(), 80), STATUS_OK);
    EXPECT_EQ(read_bytes(saved.path()), lossless_bytes(photo.path(), TURN_HALF));
    Picture back = load(saved.path());
    EXPECT_EQ(back.width, doc.current_picture->width);
    EXPECT_EQ(back.height, doc.current_picture->height);
    EXPECT_LE(worst_difference(back, *doc.current_picture), 2);
    picture_free(&back);

    // Sepia, then undo: only the turn is left, so lossless again.
    ASSERT_EQ(document_sepia(&doc), STATUS_OK);
    document_undo(&doc);
    ASSERT_EQ(document_save(&doc, saved.path(), 80), STATUS_OK);
    EXPECT_EQ(read_bytes(saved.path()), lossless_bytes(photo.path(), TURN_HALF));

    // A crop is a real change: the ordinary road, and the picture saved is the one shown.
    ASSERT_EQ(document_crop(&doc, 0, 0, 32, 16), STATUS_OK);
    ASSERT_EQ(document_save(&doc, saved.path(), 80), STATUS_OK);
    Picture cropped = load(saved.path());
    EXPECT_EQ(cropped.width, 32);
    EXPECT_EQ(cropped.height, 16);
    picture_free(&cropped);
    document_release_all(&doc);
}

TEST_F(DocumentTurn, SavingOntoTheOriginalCountsLaterTurnsFromIt)
{
    TempFile photo(".jpg");
    write_photo(photo.path(), 64, 48, 1);
    PhotoDocument doc;
    document_set_undo(&doc, true);
    ASSERT_EQ(document_open(&doc, photo.path()), STATUS_OK);
    ASSERT_EQ(document_flip_horizontal(&doc), STATUS_OK);
    const std::string expected = lossless_bytes(photo.path(), TURN_FLIP_H);
    ASSERT_EQ(document_save(&doc, photo.path(), 80), STATUS_OK);
    EXPECT_EQ(read_bytes(photo.path()), expected);
    // Undo brings back the unmirrored picture: saved onto the (now mirrored) file, it is a mirror
    // of the file again, still without loss.
    document_undo(&doc);
    TempFile copy(".jpg");
    ASSERT_EQ(document_save(&doc, copy.path(), 80), STATUS_OK);
    EXPECT_EQ(read_bytes(copy.path()), lossless_bytes(photo.path(), TURN_FLIP_H));
    document_release_all(&doc);
}

TEST_F(DocumentTurn, OddSidesTakeTheOrdinaryRoad)
{
    TempFile photo(".jpg"), saved(".jpg");
    write_photo(photo.path(), 50, 30, 1);
    PhotoDocument doc;
    ASSERT_EQ(document_open(&doc, photo.path()), STATUS_OK);
    ASSERT_EQ(document_rotate(&doc, -90), STATUS_OK);
    ASSERT_EQ(document_save(&doc, saved.path(), 80), STATUS_OK);
    Picture back = load(saved.path());
    EXPECT_EQ(back.width, 30);
    EXPECT_EQ(back.height, 50);
    picture_free(&back);
    document_release_all(&doc);
}

TEST_F(DocumentTurn, AChangeFromOutsideTheLibraryClosesTheLosslessRoad)
{
    TempFile photo(".jpg"), saved(".jpg");
    write_photo(photo.path(), 64, 48, 1);
    PhotoDocument doc;
    document_set_undo(&doc, true);
    ASSERT_EQ(document_open(&doc, photo.path()), STATUS_OK);
    ASSERT_EQ(document_rotate(&doc, 90), STATUS_OK);
    // As the text stamping does it: a copy drawn on, handed back to the document.
    PictureHandle stamped = PictureHandle::create();
    ASSERT_EQ(picture_clone(doc.current_picture.get(), stamped.get()), 0);
    std::memset(stamped->data, 255, static_cast<size_t>(stamped->bytes_per_line) * 8);
    ASSERT_EQ(document_replace(&doc, std::move(stamped)), STATUS_OK);
    EXPECT_TRUE(doc.modified);
    ASSERT_EQ(document_save(&doc, saved.path(), 80), STATUS_OK);
    EXPECT_NE(read_bytes(saved.path()), lossless_bytes(photo.path(), TURN_RIGHT));
    Picture back = load(saved.path());
    EXPECT_GT(back.data[0], 240);  // the drawn band is in the saved file
    picture_free(&back);
    // Undo goes back to the turned picture, which is a turn of the file again.
    document_undo(&doc);
    ASSERT_EQ(document_save(&doc, saved.path(), 80), STATUS_OK);
    EXPECT_EQ(read_bytes(saved.path()), lossless_bytes(photo.path(), TURN_RIGHT));
    document_release_all(&doc);
}
