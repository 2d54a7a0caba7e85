// However a reader leaves a load that began (stopping early with any status, handing its palette
// over before or after load_begin, finishing it once or twice), the picture the caller gets is
// finished: its type settled, its palette applied, its size fitted to the box.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/format.h"
#include "core/line_convert.h"
#include "support/files.h"
#include "support/owned.h"

namespace {

constexpr int WIDTH = 6;
constexpr int HEIGHT = 4;
constexpr int ROW = 5;  // the row the scripted reader stands in for

// What the scripted reader does, set by each test.
struct Script {
    int depth = 8;
    const uint8_t* palette = nullptr;
    uint32_t palette_kind = 0;
    bool palette_before_begin = true;
    int lines = 2;          // lines delivered before it stops
    Status answer = STATUS_INCOMPLETE;
    int own_load_ends = 0;  // load_end calls the reader makes itself
    bool refuse = false;    // answer (after handing the palette over) without reaching load_begin
};
Script script;
int readers_run = 0;

uint8_t line_value(int y) { return static_cast<uint8_t>(script.depth == 1 ? 0xF0 : y + 1); }

Status scripted_reader(Stream*, LoadContext* ctx)
{
    ++readers_run;
    HeaderInfo h;
    header_init(&h);
    h.width = WIDTH;
    h.height = HEIGHT;
    h.bits_per_plane = static_cast<int16_t>(script.depth);
    h.bytes_per_plane_line = (WIDTH * script.depth + 7) / 8;
    if (script.palette && script.palette_before_begin) load_set_palette(ctx, script.palette_kind, 8, script.palette);
    if (script.refuse) return script.answer;
    LUM_TRY(load_begin(ctx, &h));
    if (script.palette && !script.palette_before_begin) load_set_palette(ctx, script.palette_kind, 8, script.palette);
    for (int y = 0; y < script.lines; ++y) {
        std::memset(h.line_buffer, line_value(y), static_cast<size_t>(h.bytes_per_plane_line));
        if (load_put_lines(ctx, -1, y, 1) != STATUS_OK) break;
    }
    for (int i = 0; i < script.own_load_ends; ++i) load_end(ctx, 0, 8, nullptr);
    return script.answer;
}

// A reader of another row: a whole grey picture, no palette of its own.
Status grey_reader(Stream*, LoadContext* ctx)
{
    ++readers_run;
    HeaderInfo h;
    header_init(&h);
    h.width = WIDTH;
    h.height = HEIGHT;
    h.bits_per_plane = 8;
    h.bytes_per_plane_line = WIDTH;
    LUM_TRY(load_begin(ctx, &h));
    for (int y = 0; y < HEIGHT; ++y) {
        std::memset(h.line_buffer, y + 1, WIDTH);
        LUM_TRY(load_put_lines(ctx, -1, y, 1));
    }
    return load_end(ctx, 0, 8, nullptr);
}

// 256 entries that are not grey, so a palette that is lost shows.
const std::vector<uint8_t>& colour_palette()
{
    static std::vector<uint8_t> p = [] {
        std::vector<uint8_t> v(768);
        for (int i = 0; i < 256; ++i) {
            v[3 * i] = static_cast<uint8_t>(i);
            v[3 * i + 1] = static_cast<uint8_t>(255 - i);
            v[3 * i + 2] = 7;
        }
        return v;
    }();
    return p;
}

class LoadFinish : public ::testing::Test {
protected:
    void SetUp() override
    {
        library_init();
        saved_row = format_rows()[ROW];
        saved_next_row = format_rows()[ROW + 1];
        saved_signature = format_signatures()[ROW];
        saved_next_signature = format_signatures()[ROW + 1];
        FormatEntry& row = format_rows()[ROW];
        row.reader = scripted_reader;
        row.flags |= FORMAT_READ;
        format_signatures()[ROW] = nullptr;
        script = Script{};
        readers_run = 0;
        load_params_init(&params);
        params.line_padding = 1;
    }
    void TearDown() override
    {
        format_rows()[ROW] = saved_row;
        format_rows()[ROW + 1] = saved_next_row;
        format_signatures()[ROW] = saved_signature;
        format_signatures()[ROW + 1] = saved_next_signature;
        library_exit();
    }
    Status load(Picture* out)
    {
        TempFile file(".iff", "FORM....");
        return load_picture(file.path(), out, &params, nullptr);
    }
    // Delivered rows hold their values, the others stay zero.
    static void expect_rows(const Picture& p, int delivered)
    {
        for (int y = 0; y < HEIGHT; ++y)
            for (int x = 0; x < WIDTH; ++x)
                ASSERT_EQ(picture_line(&p, y)[x], y < delivered ? y + 1 : 0) << "row " << y << " column " << x;
    }
    static void expect_colour_map(const Picture& p)
    {
        ASSERT_NE(p.colour_map, nullptr);
        for (int i : {0, 1, 2, 128, 255}) {
            EXPECT_EQ(p.colour_map[i], i);
            EXPECT_EQ(p.colour_map[256 + i], 255 - i);
            EXPECT_EQ(p.colour_map[512 + i], 7);
        }
    }

    LoadParams params{};
    FormatEntry saved_row{};
    FormatEntry saved_next_row{};
    FormatSignature saved_signature = nullptr;
    FormatSignature saved_next_signature = nullptr;
};

TEST_F(LoadFinish, DamagedFilesLeftUnfinishedAreFinishedWithTheirPalette)
{
    script.palette = colour_palette().data();
    for (Status answer : {STATUS_INCOMPLETE, STATUS_CORRUPT}) {
        for (bool before : {true, false}) {
            SCOPED_TRACE(testing::Message() << "status " << answer << (before ? ", palette before" : ", palette after"));
            script.answer = answer;
            script.palette_before_begin = before;
            params.flags = LOAD_ACCEPT_DAMAGED;
            Owned pic;
            ASSERT_EQ(load(&pic.p), STATUS_OK);
            EXPECT_EQ(pic.p.type, PIXEL_COLORS);
            EXPECT_EQ(pic.p.colour_used, 256);
            EXPECT_EQ(pic.p.x_dpi, 72);
            EXPECT_EQ(pic.p.origin, 0);
            expect_colour_map(pic.p);
            expect_rows(pic.p, 2);

            params.flags = 0;  // as a photo: refused, nothing kept
            Owned photo;
            EXPECT_EQ(load(&photo.p), answer);
            EXPECT_EQ(photo.p.data, nullptr);
            EXPECT_EQ(photo.p.colour_map, nullptr);
        }
    }
}

TEST_F(LoadFinish, AReaderThatSucceedsWithoutFinishingStillGivesAFinishedPicture)
{
    script.palette = colour_palette().data();
    script.lines = HEIGHT;
    script.answer = STATUS_OK;
    Owned pic;
    ASSERT_EQ(load(&pic.p), STATUS_OK);
    EXPECT_EQ(pic.p.type, PIXEL_COLORS);
    expect_colour_map(pic.p);
    expect_rows(pic.p, HEIGHT);

    // Asked for colour, the palette is expanded into the pixels.
    params.flags = LOAD_WANT_COLOUR;
    Owned colour;
    ASSERT_EQ(load(&colour.p), STATUS_OK);
    EXPECT_EQ(colour.p.type, PIXEL_RGB);
    const uint8_t* px = picture_line(&colour.p, 2);
    EXPECT_EQ(px[0], 3);
    EXPECT_EQ(px[1], 252);
    EXPECT_EQ(px[2], 7);
}

TEST_F(LoadFinish, StoppedAndFailedLoadsLeaveNothingBehind)
{
    script.palette = colour_palette().data();
    for (Status answer : {STATUS_STOPPED, STATUS_NO_MEMORY, STATUS_BAD_HEADER}) {
        SCOPED_TRACE(answer);
        script.answer = answer;
        params.flags = LOAD_ACCEPT_DAMAGED;
        Owned pic;
        EXPECT_EQ(load(&pic.p), answer);
        EXPECT_EQ(pic.p.data, nullptr);
        EXPECT_EQ(pic.p.colour_map, nullptr);
    }
}

TEST_F(LoadFinish, APictureIsFinishedOnceHoweverOftenLoadEndIsCalled)
{
    // White then black: finishing inverts the bits so that set bits are white. A second
    // finishing would invert them back.
    static const uint8_t white_black[6] = {255, 255, 255, 0, 0, 0};
    script.depth = 1;
    script.palette = white_black;
    script.lines = HEIGHT;
    script.answer = STATUS_OK;
    for (int own : {0, 1, 2}) {
        SCOPED_TRACE(own);
        script.own_load_ends = own;
        Owned pic;
        ASSERT_EQ(load(&pic.p), STATUS_OK);
        EXPECT_EQ(pic.p.type, PIXEL_BINARY);
        for (int y = 0; y < HEIGHT; ++y) EXPECT_EQ(picture_line(&pic.p, y)[0] & 0xFC, 0x0C) << y;
    }
}

TEST_F(LoadFinish, AReducedLoadStoppedEarlyIsStillFittedIntoTheBox)
{
    script.palette = colour_palette().data();
    params.flags = LOAD_ACCEPT_DAMAGED;
    params.box_width = 3;
    params.box_height = 3;
    for (uint32_t method : {0u, 2u}) {
        SCOPED_TRACE(method);
        params.reduce_method = method;
        Owned pic;
        ASSERT_EQ(load(&pic.p), STATUS_OK);
        EXPECT_EQ(pic.p.width, 3);
        EXPECT_EQ(pic.p.height, 2);
        // Averaging resizes the whole picture after loading, which makes colour of a palette file.
        EXPECT_EQ(pic.p.type, method == 2 ? PIXEL_RGB : PIXEL_COLORS);
    }
}

TEST_F(LoadFinish, APaletteOfADeclinedReaderDoesNotReachTheNextOne)
{
    // The scripted row hands its palette over and declines, before or after load_begin; the
    // next row's reader (tried by the probe pass) must get a picture of its own, grey.
    FormatEntry& next = format_rows()[ROW + 1];
    next.reader = grey_reader;
    next.flags |= FORMAT_READ | FORMAT_PROBE;
    format_signatures()[ROW + 1] = nullptr;  // the stand-in reads what the real row's check refuses
    script.palette = colour_palette().data();
    script.answer = STATUS_UNKNOWN_FORMAT;
    for (bool refuse : {true, false}) {
        SCOPED_TRACE(refuse);
        script.refuse = refuse;
        readers_run = 0;
        Owned grey;
        ASSERT_EQ(load(&grey.p), STATUS_OK);
        EXPECT_EQ(readers_run, 3);  // by extension, by probe, then the next row
        EXPECT_EQ(grey.p.type, PIXEL_GREY);
        EXPECT_EQ(grey.p.colour_map, nullptr);
        expect_rows(grey.p, HEIGHT);
    }
}

TEST_F(LoadFinish, PalettesOfEveryLayoutAreCopiedWhole)
{
    // Wider entries than three bytes: a copy that assumed three would lose the last entries.
    std::vector<uint8_t> bgrx(256 * 4);
    for (int i = 0; i < 256; ++i) {
        bgrx[4 * i] = 7;
        bgrx[4 * i + 1] = static_cast<uint8_t>(255 - i);
        bgrx[4 * i + 2] = static_cast<uint8_t>(i);
    }
    script.palette = bgrx.data();
    script.palette_kind = PALETTE_BGRX;
    script.lines = HEIGHT;
    script.answer = STATUS_OK;
    for (bool before : {true, false}) {
        script.palette_before_begin = before;
        Owned pic;
        ASSERT_EQ(load(&pic.p), STATUS_OK);
        expect_colour_map(pic.p);
    }
    EXPECT_EQ(palette_bytes(PALETTE_BGRX, 256), 1024);
    EXPECT_EQ(palette_bytes(PALETTE_PLANES_16, 256), LOAD_PALETTE_BYTES);
    EXPECT_EQ(palette_bytes(PALETTE_444, 16), 32);
    EXPECT_EQ(palette_bytes(PALETTE_NEGATIVE, 2), 6);
}

}  // namespace
