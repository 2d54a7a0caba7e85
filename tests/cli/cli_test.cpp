#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/inspect.h"
#include "core/format.h"
#include "core/load.h"
#include "support/corpus.h"
#include "support/files.h"

namespace {

struct CliRun {
    int code;
    std::string out;
    std::string err;
};

std::string slurp(FILE* f)
{
    std::string s;
    std::rewind(f);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
    return s;
}

CliRun run(std::vector<std::string> args)
{
    args.insert(args.begin(), "lumeva-cli");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    const int code = cli_run(static_cast<int>(argv.size()), argv.data(), out, err);
    return CliRun{code, slurp(out), slurp(err)};
}

TEST(Cli, HelpAndUsageErrors)
{
    const CliRun help = run({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("info FILE"), std::string::npos);
    EXPECT_EQ(run({}).code, 2);
    EXPECT_EQ(run({"frobnicate"}).code, 2);
    EXPECT_EQ(run({"info"}).code, 2);
    EXPECT_EQ(run({"info", "a.jpg", "--box", "12"}).code, 2);
    EXPECT_EQ(run({"info", "a.jpg", "--format", "nope"}).code, 2);
    const CliRun bad = run({"info", "a.jpg", "--bogus"});
    EXPECT_EQ(bad.code, 2);
    EXPECT_NE(bad.err.find("--bogus"), std::string::npos);
}

TEST(Cli, FormatsListsEveryRow)
{
    const CliRun r = run({"formats"});
    EXPECT_EQ(r.code, 0);
    int lines = 0;
    for (char c : r.out) lines += c == '\n';
    EXPECT_EQ(lines, 23);
    EXPECT_NE(r.out.find("Portable Network Graphics"), std::string::npos);
    EXPECT_NE(r.out.find("jpg,jpeg,jif,jfif,J,jpe"), std::string::npos);
}

TEST(Cli, InfoReportsWhatTheLibraryReportsForEveryCorpusFile)
{
    library_init();
    for (const CorpusEntry& e : corpus_manifest()) {
        LoadParams params;
        load_params_init(&params);
        Picture pic{};
        const Status status = load_picture(corpus_path(e.path).c_str(), &pic, &params, nullptr);
        const CliRun r = run({"info", corpus_path(e.path), "--pixels-sha256"});
        if (status == STATUS_OK) {
            EXPECT_EQ(r.code, 0) << e.path;
            EXPECT_EQ(r.out.rfind("status=0 format=", 0), 0u) << e.path;
            EXPECT_NE(r.out.find(" width=" + std::to_string(pic.width) + " "), std::string::npos) << e.path;
            EXPECT_NE(r.out.find(" pixels_sha256=" + picture_rgba_sha256(pic)), std::string::npos) << e.path;
        } else {
            EXPECT_EQ(r.code, 1) << e.path;
            EXPECT_EQ(r.out, "status=" + std::to_string(status) + "\n") << e.path;
            EXPECT_NE(r.err.find(status_text(status)), std::string::npos) << e.path;
        }
        picture_free(&pic);
    }
    library_exit();
}

TEST(Cli, InfoOnEmptyFilesAndFolders)
{
    TempFile empty(".jpg");
    const CliRun r = run({"info", empty.path()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "status=3\n");
    const CliRun folder = run({"info", corpus_dir()});
    EXPECT_EQ(folder.out, "status=3\n");
}

TEST(Inspect, RgbaOfEachPixelKindAndOrientation)
{
    Picture p{};
    ASSERT_EQ(picture_alloc(&p, PIXEL_BGR, 4, 2, 2), 1);
    const uint8_t top[6] = {1, 2, 3, 4, 5, 6}, bottom[6] = {7, 8, 9, 10, 11, 12};
    std::copy(top, top + 6, picture_line(&p, 0));
    std::copy(bottom, bottom + 6, picture_line(&p, 1));
    p.origin = PICTURE_ORIGIN_BOTTOM;
    std::vector<uint8_t> rgba = picture_to_rgba(p);
    EXPECT_EQ(rgba, (std::vector<uint8_t>{9, 8, 7, 255, 12, 11, 10, 255, 3, 2, 1, 255, 6, 5, 4, 255}));
    picture_free(&p);

    ASSERT_EQ(picture_alloc(&p, PIXEL_COLORS, 1, 2, 1), 1);
    picture_line(&p, 0)[1] = 5;
    p.colour_map[5] = 10;
    p.colour_map[256 + 5] = 20;
    p.colour_map[512 + 5] = 30;
    p.transparent_index = 5;
    EXPECT_EQ(picture_to_rgba(p), (std::vector<uint8_t>{0, 0, 0, 255, 10, 20, 30, 0}));
    picture_free(&p);

    ASSERT_EQ(picture_alloc(&p, PIXEL_BINARY, 1, 3, 1), 1);
    bit_put(picture_line(&p, 0), 1, 1);
    EXPECT_EQ(picture_to_rgba(p), (std::vector<uint8_t>{0, 0, 0, 255, 255, 255, 255, 255, 0, 0, 0, 255}));
    picture_free(&p);
}

TEST(Inspect, Sha256KnownAnswers)
{
    EXPECT_EQ(sha256_hex(nullptr, 0), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    const std::string abc = "abc";
    EXPECT_EQ(sha256_hex(reinterpret_cast<const uint8_t*>(abc.data()), abc.size()),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const std::string two_blocks(119, 'a');
    EXPECT_EQ(sha256_hex(reinterpret_cast<const uint8_t*>(two_blocks.data()), two_blocks.size()),
              "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb");
}

}  // namespace

namespace {

TEST(Cli, ConvertAndThumbWriteJpegFiles)
{
    const std::string photo = corpus_path("jpeg/FurnaceCreekInn.jpg");
    TempFile converted(".jpg");
    const CliRun c = run({"convert", photo, converted.path(), "--quality", "70"});
    ASSERT_EQ(c.code, 0) << c.err;
    EXPECT_NE(c.out.find("width=400 height=300"), std::string::npos);
    const CliRun again = run({"info", converted.path()});
    EXPECT_NE(again.out.find("status=0 format=jpeg width=400 height=300"), std::string::npos);
    EXPECT_EQ(run({"convert", photo, converted.path(), "--quality", "101"}).code, 2);
    const CliRun no_writer = run({"convert", photo, (std::string(converted.path()) + ".txt").c_str()});
    EXPECT_EQ(no_writer.code, 1);
    EXPECT_EQ(no_writer.out, "status=8\n");

    TempFile thumb(".jpg");
    const CliRun t = run({"thumb", "--box", "92x64", photo, thumb.path()});
    ASSERT_EQ(t.code, 0) << t.err;
    EXPECT_NE(run({"info", thumb.path()}).out.find("width=85 height=64"), std::string::npos);

    const std::string folder = std::filesystem::temp_directory_path().string();
    const CliRun batch = run({"thumb", "--box", "50x50", "--average", "--out-dir", folder, photo,
                              corpus_path("jpeg/testorig.jpg"), corpus_path("png/basn0g01.png")});
    EXPECT_NE(batch.out.find("written=" + folder + "/testorig.jpg"), std::string::npos);
    EXPECT_NE(batch.out.find("written=" + folder + "/FurnaceCreekInn.jpg"), std::string::npos);
    std::remove((folder + "/testorig.jpg").c_str());
    std::remove((folder + "/FurnaceCreekInn.jpg").c_str());
    std::remove((folder + "/basn0g01.jpg").c_str());
}

}  // namespace

namespace {

TEST(Cli, RetouchNamesTheFormatAndTheRealReasons)
{
    const std::string photo = corpus_path("bmp/pal8.bmp");
    const CliRun plain = run({"retouch", photo, "flip-h"});
    ASSERT_EQ(plain.code, 0) << plain.err;
    EXPECT_EQ(plain.out.rfind("status=0 format=bmp width=127 height=64 ", 0), 0u) << plain.out;

    // A palette photo saves as JPEG like any other.
    TempFile saved(".jpg");
    const CliRun to_jpeg = run({"retouch", photo, "--out", saved.path(), "rotate-right"});
    ASSERT_EQ(to_jpeg.code, 0) << to_jpeg.err;
    EXPECT_NE(run({"info", saved.path()}).out.find("status=0 format=jpeg width=64 height=127"), std::string::npos);

    // A folder that is not there cannot be created in: 5, not a write failure.
    const CliRun nowhere = run({"retouch", photo, "--out", "/no/such/folder/out.jpg"});
    EXPECT_EQ(nowhere.code, 1);
    EXPECT_EQ(nowhere.out, "status=5\n");
    EXPECT_NE(nowhere.err.find("/no/such/folder/out.jpg"), std::string::npos);

    // Thumbnails of palette pictures are saved as JPEG too, nearest or averaged.
    TempFile thumb(".jpg");
    const CliRun nearest = run({"thumb", "--box", "40x40", photo, thumb.path()});
    EXPECT_EQ(nearest.code, 0) << nearest.err;
    EXPECT_NE(run({"info", thumb.path()}).out.find("format=jpeg width=40 height=20"), std::string::npos);

    // A file that is not a picture: the loader's own status, from one load.
    TempFile text(".bmp", "this is not a bitmap at all");
    const CliRun unknown = run({"retouch", text.path(), "flip-h"});
    EXPECT_EQ(unknown.code, 1);
    EXPECT_EQ(unknown.out, "status=2\n");
}

TEST(Cli, RetouchRefusesNumbersOutsideThe32BitRange)
{
    const std::string photo = corpus_path("bmp/pal8.bmp");
    for (const char* command : {"crop=0,0,3000000000,10", "red-eyes=-1e12,0,5,5", "adjust=1e10,0,1,0,0,0"}) {
        const CliRun r = run({"retouch", photo, command});
        EXPECT_EQ(r.code, 2) << command;
        EXPECT_NE(r.err.find("out of range"), std::string::npos) << r.err;
    }
    // The widest frame the numbers allow covers the whole picture.
    const CliRun wide = run({"retouch", photo, "crop=-2147483648,-2147483648,2147483647,2147483647"});
    EXPECT_EQ(wide.code, 0) << wide.err;
    EXPECT_NE(wide.out.find("width=127 height=64"), std::string::npos) << wide.out;
}

}  // namespace
