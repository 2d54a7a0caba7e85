#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "core/format.h"
#include "core/load.h"
#include "core/stream.h"
#include "support/corpus.h"
#include "support/files.h"

#include <fstream>
#include <iterator>
#include <thread>

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace {

struct Reader {
    Stream* s;
    explicit Reader(const TempFile& f) : s(stream_open(f.path(), STREAM_READ)) {}
    ~Reader() { stream_close(s); }
};

TEST(StreamOpen, RefusesEmptyFilesFoldersAndMissingFiles)
{
    TempFile empty(".bin");
    EXPECT_EQ(stream_open(empty.path(), STREAM_READ), nullptr);
    EXPECT_EQ(stream_open(empty.path(), 33), nullptr);
    const std::string folder = std::filesystem::temp_directory_path().string();
    EXPECT_EQ(stream_open(folder.c_str(), STREAM_READ), nullptr);
    EXPECT_EQ(stream_open((folder + "/lumeva-no-such-file.jpg").c_str(), STREAM_READ), nullptr);
    EXPECT_EQ(stream_open(nullptr, STREAM_READ), nullptr);
}

TEST(StreamOpen, StandardStreamsOnlyInTheirDirection)
{
    EXPECT_EQ(stream_open("stdout", STREAM_READ), nullptr);
    EXPECT_EQ(stream_open("stdin", STREAM_WRITE), nullptr);
    Stream* out = stream_open("stdout", STREAM_WRITE);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->standard, 1);
    stream_close(out);
    // Closing must have left the process's standard output usable.
    EXPECT_GE(std::fprintf(stdout, "%s", ""), 0);
    EXPECT_EQ(std::fflush(stdout), 0);
}

TEST(StreamOpen, WriteModesCreateAndReadModeKnowsTheSize)
{
    TempFile f(".bin");
    Stream* w = stream_open(f.path(), 27);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(stream_write_u32be(w, 0x01020304u), 0);
    EXPECT_EQ(stream_write_u16le(w, 0x0506), 0);
    EXPECT_EQ(stream_write_float_be(w, 1.5f), STATUS_OK);
    EXPECT_EQ(stream_write_text(w, "ok"), 0);
    stream_close(w);
    Reader r(f);
    ASSERT_NE(r.s, nullptr);
    EXPECT_EQ(r.s->size, 12);
    EXPECT_EQ(stream_read_u32be(r.s), 0x01020304u);
    EXPECT_EQ(stream_read_u16le(r.s), 0x0506);
    float v = 0;
    EXPECT_EQ(stream_read_float_be(r.s, &v), STATUS_OK);
    EXPECT_EQ(v, 1.5f);
}

TEST(StreamRead, ByteOrdersAndShortReals)
{
    TempFile f(".bin", std::string("\x12\x34\x12\x34\x01\x02\x03\x04\x01\x02\x03\x04\x00\x00", 14));
    Reader r(f);
    ASSERT_NE(r.s, nullptr);
    EXPECT_EQ(stream_read_u16be(r.s), 4660);
    EXPECT_EQ(stream_read_u16le(r.s), 13330);
    EXPECT_EQ(stream_read_u32be(r.s), 0x01020304u);
    EXPECT_EQ(stream_read_u32le(r.s), 0x04030201u);
    double d = 0;
    EXPECT_EQ(stream_read_double_le(r.s, &d), STATUS_INCOMPLETE);
    EXPECT_EQ(swap16(0x1234), 0x3412);
    EXPECT_EQ(swap32(0x11223344u), 0x44332211u);
}

TEST(StreamRead, IntegersPastTheEndReadMissingBytesAsZero)
{
    TempFile f(".bin", "\xAB");
    Reader r(f);
    ASSERT_NE(r.s, nullptr);
    EXPECT_EQ(stream_read_u32be(r.s), 0xAB000000u);
    EXPECT_EQ(stream_eof(r.s), 1);
}

TEST(StreamSkip, ForwardByReadingReportsAShortFile)
{
    TempFile f(".bin", "abcdefgh");
    Reader r(f);
    ASSERT_NE(r.s, nullptr);
    EXPECT_EQ(stream_skip(r.s, 0), 0);
    EXPECT_EQ(stream_skip(r.s, 4), 0);
    EXPECT_EQ(stream_getc(r.s), 'e');
    EXPECT_EQ(stream_skip(r.s, -2), 0);
    EXPECT_EQ(stream_getc(r.s), 'd');
    EXPECT_EQ(stream_skip(r.s, 10), 1);
}

TEST(StreamText, NumbersTokensAndLines)
{
    TempFile f(".txt", "  \t\r\n 640 480x\nP6 name=value\r\nsecond line\n\x01tail");
    Reader r(f);
    ASSERT_NE(r.s, nullptr);
    long n = 0;
    EXPECT_EQ(stream_read_number(r.s, &n), 1);
    EXPECT_EQ(n, 640);
    EXPECT_EQ(stream_read_number(r.s, &n), 1);
    EXPECT_EQ(n, 480);
    EXPECT_EQ(stream_getc(r.s), 'x');  // the first non-digit was pushed back
    char token[8];
    EXPECT_EQ(stream_read_token(r.s, token, sizeof token, ' '), 1);
    EXPECT_STREQ(token, "P6");
    EXPECT_EQ(stream_read_token(r.s, token, sizeof token, '='), 1);
    EXPECT_STREQ(token, "name");
    char line[64];
    ASSERT_NE(stream_read_line(line, sizeof line, r.s), nullptr);
    EXPECT_STREQ(line, "value");
    ASSERT_NE(stream_read_line(line, 7, r.s), nullptr);
    EXPECT_STREQ(line, "second");  // size - 1 characters
    ASSERT_NE(stream_read_line(line, sizeof line, r.s), nullptr);
    EXPECT_STREQ(line, " line");
    ASSERT_NE(stream_read_line(line, sizeof line, r.s), nullptr);
    EXPECT_STREQ(line, "");  // stopped at the control character
    ASSERT_NE(stream_read_line(line, sizeof line, r.s), nullptr);
    EXPECT_STREQ(line, "tail");
    EXPECT_EQ(stream_read_line(line, sizeof line, r.s), nullptr);
}

TEST(TempFileName, GivesDistinctExistingFilesWithThePrefix)
{
    char a[TEMP_NAME_MAX], b[TEMP_NAME_MAX];
    ASSERT_EQ(temp_file_name(a), 1);
    ASSERT_EQ(temp_file_name(b), 1);
    EXPECT_STRNE(a, b);
    EXPECT_TRUE(std::filesystem::exists(a));
    EXPECT_EQ(std::filesystem::path(a).filename().string().rfind("x_", 0), 0u);
    std::remove(a);
    std::remove(b);
}

}  // namespace

#if !defined(_WIN32)
namespace {

// Loads `file` fed through a pipe as the standard input, as `lumeva-cli info stdin < file` does
// from a shell pipeline: the input cannot go back and has no size.
Status load_through_pipe(const std::string& file, Picture* out)
{
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int fds[2];
    if (pipe(fds) != 0) return STATUS_OPEN_FAILED;
    const int saved = dup(0);
    dup2(fds[0], 0);
    close(fds[0]);
    std::clearerr(stdin);
    std::thread writer([&] {
        for (size_t at = 0; at < bytes.size();) {
            const ssize_t n = ::write(fds[1], bytes.data() + at, bytes.size() - at);
            if (n <= 0) break;
            at += static_cast<size_t>(n);
        }
        close(fds[1]);
    });
    LoadParams params;
    load_params_init(&params);
    const Status status = load_picture("stdin", out, &params, nullptr);
    // Whatever the reader left unread, the writer must be able to finish.
    char scratch[4096];
    while (std::fread(scratch, 1, sizeof scratch, stdin) > 0) {}
    writer.join();
    dup2(saved, 0);
    close(saved);
    std::clearerr(stdin);
    return status;
}

TEST(StandardInput, EveryFormatLoadsThroughAPipe)
{
    library_init();
    for (const char* name : {"png/basn2c08.png", "bmp/pal8.bmp", "bmp/rgb16-565.bmp", "jpeg/testorig.jpg"}) {
        SCOPED_TRACE(name);
        Picture p{};
        ASSERT_EQ(load_through_pipe(corpus_path(name), &p), STATUS_OK);
        Picture direct{};
        LoadParams params;
        load_params_init(&params);
        ASSERT_EQ(load_picture(corpus_path(name).c_str(), &direct, &params, nullptr), STATUS_OK);
        EXPECT_EQ(p.width, direct.width);
        EXPECT_EQ(p.height, direct.height);
        EXPECT_EQ(std::memcmp(p.data, direct.data, picture_data_size(&p)), 0);
        picture_free(&p);
        picture_free(&direct);
    }
    library_exit();
}

}  // namespace
#endif
