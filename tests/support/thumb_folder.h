// A folder of the kinds of file a user's picture folder holds, for the thumbnail list and its
// worker: photos, a picture that already fits the box, a portrait stored lying down with Exif
// orientation 6, a truncated JPEG, an empty file, a text file and a sub-folder.
#pragma once

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/picture.h"
#include "core/save.h"
#include "editing/document.h"

namespace thumb_folder {

// Four flat quadrants, red, green / blue, yellow: any turn or mirror shows in the corners.
inline void quadrants(Picture* p, int w, int h)
{
    picture_alloc(p, PIXEL_RGB, 4, w, h);
    const uint8_t colours[4][3] = {{250, 20, 20}, {20, 250, 20}, {20, 20, 250}, {240, 240, 20}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int q = (y >= h / 2 ? 2 : 0) + (x >= w / 2 ? 1 : 0);
            std::memcpy(picture_line(p, y) + 3 * x, colours[q], 3);
        }
}

// Which quadrant colour a corner of a picture shows: 0 red, 1 green, 2 blue, 3 yellow.
inline int corner_colour(const Picture* p, int corner)
{
    const int x = corner & 1 ? p->width - 3 : 2, y = corner & 2 ? p->height - 3 : 2;
    const uint8_t* px = picture_line(p, y) + x * p->bytes_per_pixel;
    return px[0] > 128 ? (px[1] > 128 ? 3 : 0) : px[1] > 128 ? 1 : 2;
}

// A minimal Exif block holding an orientation.
inline std::vector<uint8_t> exif_with_orientation(int orientation)
{
    return {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0,
            static_cast<uint8_t>(orientation), 0, 0, 0, 0, 0, 0, 0};
}

inline bool save_jpeg(const Picture* p, const std::string& path, int quality = 92)
{
    SaveParams params;
    save_params_init(&params);
    params.format_index = 0;
    params.quality = static_cast<uint16_t>(quality);
    return save_picture(path.c_str(), p, &params) == STATUS_OK;
}

inline std::string read_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_bytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Needs the picture library started (library_init).
class Folder {
public:
    explicit Folder(const std::string& tag)
    {
        static int counter = 0;
        root_ = std::filesystem::temp_directory_path() /
                ("lumeva_thumbs_" + tag + "_" + std::to_string(++counter) + "_" + std::to_string(std::rand()));
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_ / "sub");
    }
    ~Folder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    // The folder as the list wants it: with a separator at the end.
    std::string path() const { return root_.string() + static_cast<char>(std::filesystem::path::preferred_separator); }
    std::string file(const std::string& name) const { return (root_ / name).string(); }

    // The usual mixture; returns false when a file could not be made.
    bool fill_mixed()
    {
        Picture p{};
        quadrants(&p, 400, 300);
        bool ok = save_jpeg(&p, file("photo.jpg"));
        // Cut in the middle of its entropy-coded data: the top lines decode, the rest is missing.
        const std::string whole = read_bytes(file("photo.jpg"));
        write_bytes(file("cut.jpg"), whole.substr(0, whole.size() / 2));
        picture_free(&p);

        quadrants(&p, 40, 30);
        ok = ok && save_jpeg(&p, file("small.jpg"));
        picture_free(&p);

        // Upright it is 200 wide and 300 high; stored lying down, turned back by orientation 6.
        quadrants(&p, 200, 300);
        ok = ok && picture_apply_orientation(&p, 8) == STATUS_OK;
        const std::vector<uint8_t> exif = exif_with_orientation(6);
        auto* chunk = static_cast<PictureChunk*>(std::calloc(1, sizeof(PictureChunk)));
        chunk->kind = CHUNK_EXIF;
        chunk->size = static_cast<uint32_t>(exif.size());
        chunk->bytes = static_cast<uint8_t*>(std::malloc(exif.size()));
        std::memcpy(chunk->bytes, exif.data(), exif.size());
        p.chunks = chunk;
        ok = ok && save_jpeg(&p, file("portrait.jpg"));
        picture_free(&p);

        write_bytes(file("empty.jpg"), "");
        write_bytes(file("notes.txt"), "not a picture\n");
        write_bytes(file("sub") + "/inside.jpg", read_bytes(file("small.jpg")));
        return ok;
    }

    // `count` small distinct pictures named pic000.jpg, pic001.jpg...
    bool fill_many(int count, int w = 48, int h = 32)
    {
        Picture p{};
        quadrants(&p, w, h);
        if (!save_jpeg(&p, file("pic000.jpg"), 80)) return false;
        picture_free(&p);
        const std::string bytes = read_bytes(file("pic000.jpg"));
        for (int i = 1; i < count; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "pic%03d.jpg", i);
            write_bytes(file(name), bytes);
        }
        return true;
    }

    // The files in the order the file system enumerates them (sub-folders left out).
    std::vector<std::string> listed() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(root_))
            if (!entry.is_directory()) names.push_back(entry.path().filename().string());
        return names;
    }

private:
    std::filesystem::path root_;
};

}  // namespace thumb_folder
