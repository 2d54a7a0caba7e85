// Format plug-ins: real shared libraries of our toy format, laid out in a plug-in folder of the
// test's own.
#include "core/plugin.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/format.h"
#include "core/load.h"
#include "core/save.h"
#include "support/files.h"

namespace fs = std::filesystem;

namespace {

#if defined(_WIN32)
const char* const DLL = ".dll";
const char* const USR = ".usr";
#else
const char* const DLL = ".dll";  // ELF libraries, named as the plug-in folder expects them
const char* const USR = ".usr";
#endif

// A plug-in folder holding the given built plug-ins, each under the name given beside it.
class PluginFolder {
public:
    explicit PluginFolder(std::initializer_list<std::pair<std::string, std::string>> files)
    {
        static int counter = 0;
        path_ = fs::temp_directory_path() / ("lumeva_plugins_" + std::to_string(++counter) + "_" +
                                            std::to_string(reinterpret_cast<uintptr_t>(this)));
        fs::create_directories(path_);
        for (const auto& [built, name] : files)
            fs::copy_file(fs::path(LUMEVA_TEST_PLUGIN_DIR) / built, path_ / name, fs::copy_options::overwrite_existing);
        plugin_set_folder(path_.string().c_str());
        library_init();
    }
    ~PluginFolder()
    {
        library_exit();
        plugin_set_folder("");
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    PluginFolder(const PluginFolder&) = delete;
    PluginFolder& operator=(const PluginFolder&) = delete;

private:
    fs::path path_;
};

int rows_named(const char* name)
{
    int n = 0;
    for (int i = 0; i < format_count(); ++i)
        if (std::strcmp(format_get_name(i), name) == 0) ++n;
    return n;
}

std::string toy_bytes(int width, int height, int channels)
{
    std::string bytes = "LTOY";
    bytes += static_cast<char>(width);
    bytes += static_cast<char>(width >> 8);
    bytes += static_cast<char>(height);
    bytes += static_cast<char>(height >> 8);
    bytes += static_cast<char>(channels);
    for (int i = 0; i < width * height * channels; ++i) bytes += static_cast<char>(i * 7 + 3);
    return bytes;
}

std::string name(const char* base, const char* kind) { return std::string(base) + kind; }

}  // namespace

TEST(Plugins, DllRowJoinsTheRegistryAfterTheBuiltInRows)
{
    library_init();
    const int builtin = format_count();
    library_exit();

    PluginFolder folder({{name("Otoy", DLL), name("Otoy", DLL)}});
    ASSERT_EQ(format_count(), builtin + 1);
    const int row = format_find_by_name("toy");
    EXPECT_EQ(row, builtin);
    FormatInfo info;
    ASSERT_EQ(format_get_info(row, &info, 1), 0);
    EXPECT_STREQ(info.description, "Lumeva toy picture");
    EXPECT_STREQ(info.extensions[0], "toy");
    EXPECT_EQ(info.capabilities, 3);
    EXPECT_EQ(info.writable[0].type, PIXEL_ANY24);
}

TEST(Plugins, ReadsAndWritesThroughADllRow)
{
    PluginFolder folder({{name("Otoy", DLL), name("Otoy", DLL)}});
    TempFile file(".toy", toy_bytes(5, 3, 3));
    Picture picture{};
    LoadParams params;
    load_params_init(&params);
    FileInfo info{};
    ASSERT_EQ(load_picture(file.path(), &picture, &params, &info), STATUS_OK);
    EXPECT_EQ(picture.width, 5);
    EXPECT_EQ(picture.height, 3);
    EXPECT_EQ(info.format_index, format_find_by_name("toy"));
    EXPECT_STREQ(info.format_label, "Toy picture");
    EXPECT_EQ(picture.data[0], 3);
    EXPECT_EQ(picture.data[1], 10);

    TempFile copy(".toy");
    SaveParams save;
    save_params_init(&save);
    save.format_index = static_cast<int16_t>(format_find_by_name("toy"));
    ASSERT_EQ(save_picture(copy.path(), &picture, &save), STATUS_OK);
    std::ifstream in(copy.path(), std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(written, toy_bytes(5, 3, 3));
    picture_free(&picture);
}

TEST(Plugins, ContentProbeFindsTheToyUnderAnotherName)
{
    PluginFolder folder({{name("Otoy", DLL), name("Otoy", DLL)}});
    TempFile file(".data", toy_bytes(2, 2, 1));
    Picture picture{};
    LoadParams params;
    load_params_init(&params);
    EXPECT_EQ(load_picture(file.path(), &picture, &params, nullptr), STATUS_OK);
    picture_free(&picture);
}

TEST(Plugins, RefusedPluginsLeaveNothingBehind)
{
    library_init();
    const int builtin = format_count();
    library_exit();

    // Version 399, an init that refuses, a row without extension, a ".usr" without extension,
    // names that do not start with "O", and extensions compared exactly.
    PluginFolder folder({{name("Otoy399", DLL), name("Otoy399", DLL)},
                         {name("Otoyrefuse", DLL), name("Otoyrefuse", DLL)},
                         {name("Otoynoext", DLL), name("Otoynoext", DLL)},
                         {name("Otoysimplenoext", USR), name("Otoysimplenoext", USR)},
                         {name("Otoy", DLL), "Xtoy.dll"},
                         {name("Otoy", DLL), "Otoy.DLL"},
                         {name("Otoysimple", USR), "Otoysimple.usrx"}});
    EXPECT_EQ(format_count(), builtin);
    EXPECT_EQ(rows_named("toy"), 0);
    EXPECT_EQ(rows_named("user"), 0);
}

TEST(Plugins, MissingOrEmptyFolderAddsNothing)
{
    library_init();
    const int builtin = format_count();
    library_exit();
    {
        PluginFolder empty({});
        EXPECT_EQ(format_count(), builtin);
    }
    plugin_set_folder("/nonexistent/lumeva/plugins");
    library_init();
    EXPECT_EQ(format_count(), builtin);
    library_exit();
    plugin_set_folder("");
}

TEST(Plugins, UsrRowTakesBothExtensionsAndBridgesReadAndWrite)
{
    PluginFolder folder({{name("Otoysimple", USR), name("Otoysimple", USR)}});
    const int row = format_find_by_name("user");
    ASSERT_GE(row, 0);
    EXPECT_EQ(format_rows()[row].flags & (FORMAT_PLUGIN_PENDING_USR | FORMAT_OWNS_NAMES | FORMAT_PLUGIN_FLAG), 0x2Au);
    FormatInfo info;
    ASSERT_EQ(format_get_info(row, &info, 1), 0);
    EXPECT_STREQ(info.description, "Toy pictures (simple)");
    EXPECT_STREQ(info.extensions[0], "tyu");
    EXPECT_STREQ(info.extensions[1], "tyw");
    EXPECT_EQ(format_rows()[row].flags & FORMAT_PLUGIN_PENDING_USR, 0u);

    TempFile file(".tyw", toy_bytes(4, 2, 1));
    Picture picture{};
    LoadParams params;
    load_params_init(&params);
    FileInfo file_info{};
    ASSERT_EQ(load_picture(file.path(), &picture, &params, &file_info), STATUS_OK);
    EXPECT_EQ(picture.width, 4);
    EXPECT_EQ(picture.height, 2);
    EXPECT_EQ(file_info.x_dpi, 150);
    EXPECT_STREQ(file_info.format_label, "Toy (simple)");

    TempFile copy(".tyu");
    SaveParams save;
    save_params_init(&save);
    save.format_index = static_cast<int16_t>(row);
    ASSERT_EQ(save_picture(copy.path(), &picture, &save), STATUS_OK);
    Picture back{};
    ASSERT_EQ(load_picture(copy.path(), &back, &params, nullptr), STATUS_OK);
    ASSERT_EQ(back.width, 4);
    for (int y = 0; y < 2; ++y)
        EXPECT_EQ(0, std::memcmp(back.data + y * back.bytes_per_line, picture.data + y * picture.bytes_per_line, 4));
    picture_free(&back);

    // A file the plug-in refuses answers "not recognised", so that recognition goes on.
    TempFile other(".tyu", "not a toy");
    EXPECT_EQ(load_picture(other.path(), &back, &params, nullptr), STATUS_UNKNOWN_FORMAT);
    picture_free(&picture);
}

// The thumbnail worker and the window recognise files at the same moment: the first use of a
// pending row must complete it once, with no thread seeing it half filled.
TEST(Plugins, PendingRowCompletedOnceUnderConcurrentLoads)
{
    PluginFolder folder({{name("Otoysimple", USR), name("Otoysimple", USR)}});
    TempFile file(".tyu", toy_bytes(16, 16, 3));
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 5; ++i) {
                Picture picture{};
                LoadParams params;
                load_params_init(&params);
                if (load_picture(file.path(), &picture, &params, nullptr) != STATUS_OK || picture.width != 16) ++failures;
                picture_free(&picture);
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
}
