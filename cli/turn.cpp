// Turning and mirroring JPEG photos in batches, without loss wherever the picture allows it.
#include "cli/turn.h"

#include "core/parallel.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/format.h"
#include "core/load.h"
#include "core/save.h"
#include "editing/document.h"
#include "formats/common/exif.h"
#include "formats/jpeg/jpeg_transform.h"

namespace {

struct TurnRequest {
    bool automatic = false;  // stand each photo upright by its own orientation
    int turn = TURN_NONE;    // otherwise this turn, of the photo as it is seen
    bool allow_recompress = false;
    const char* folder = nullptr;
};

std::string target_for(const TurnRequest& request, const char* file)
{
    if (!request.folder) return file;
    std::string base = file;
    const size_t slash = base.find_last_of("/\\");
    if (slash != std::string::npos) base.erase(0, slash + 1);
    return std::string(request.folder) + "/" + base;
}

// The ordinary road for pictures whose sides are not whole blocks: decode, turn, compress again
// at the program's quality, keeping the comment and the Exif block (its orientation now 1).
Status turn_by_recompressing(const char* file, const std::string& target, int turn)
{
    Picture picture{};
    LoadParams params;
    load_params_init(&params);
    params.flags |= LOAD_KEEP_COMMENT | LOAD_KEEP_CHUNKS;
    LUM_TRY(load_picture(file, &picture, &params, nullptr));
    Status status = picture_apply_orientation(&picture, turn);
    for (PictureChunk* c = picture.chunks; c; c = c->next)
        if (c->kind == 1) exif_set_orientation(c->bytes, c->size, 1);
    if (status == STATUS_OK) {
        SaveParams save;
        save_params_init(&save);
        save.format_index = static_cast<int16_t>(format_find_by_name("jpeg"));
        save.quality = 80;
        status = save_picture(target.c_str(), &picture, &save);
    }
    picture_free(&picture);
    return status;
}

}  // namespace

int command_turn(int argc, char** argv, FILE* out, FILE* err)
{
    TurnRequest request;
    int choices = 0;
    std::vector<const char*> files;
    for (int i = 0; i < argc; ++i) {
        const char* a = argv[i];
        struct Choice {
            const char* option;
            int turn;
        };
        static const Choice choice_list[] = {{"--left", TURN_LEFT},     {"--right", TURN_RIGHT},   {"--half", TURN_HALF},
                                             {"--flip-h", TURN_FLIP_H}, {"--flip-v", TURN_FLIP_V}};
        bool matched = false;
        for (const Choice& c : choice_list)
            if (std::strcmp(a, c.option) == 0) {
                request.turn = c.turn;
                ++choices;
                matched = true;
            }
        if (matched) continue;
        if (std::strcmp(a, "--auto") == 0) {
            request.automatic = true;
            ++choices;
        } else if (std::strcmp(a, "--allow-recompress") == 0) {
            request.allow_recompress = true;
        } else if (std::strcmp(a, "--out-dir") == 0 && i + 1 < argc) {
            request.folder = argv[++i];
        } else if (a[0] == '-' && a[1] == '-') {
            std::fprintf(err, "lumeva-cli: unknown option: %s\n(see lumeva-cli --help)\n", a);
            return 2;
        } else {
            files.push_back(a);
        }
    }
    if (choices != 1 || files.empty()) {
        std::fprintf(err, "lumeva-cli: turn needs one of --auto, --left, --right, --half, --flip-h, --flip-v and "
                          "files\n(see lumeva-cli --help)\n");
        return 2;
    }

    std::atomic<int> failures{0};
    std::mutex report;
    for_each_in_parallel(files.size(), [&](size_t i) {
        const char* file = files[i];
        const std::string target = target_for(request, file);
        // A photo is seen standing by its Exif orientation, so a turn asked for is a turn of
        // that upright view: both go into one rearrangement of the blocks.
        const int stored = jpeg_file_orientation(file);
        const int turn = request.automatic ? stored : turn_compose(stored, request.turn);
        Status status = turn == TURN_NONE && target == file ? Status{STATUS_OK} : jpeg_turn_file(file, target.c_str(), turn);
        bool recompressed = false;
        if (status == STATUS_TYPE_UNSUPPORTED && request.allow_recompress) {
            status = turn_by_recompressing(file, target, turn);
            recompressed = true;
        }
        std::lock_guard<std::mutex> lock(report);
        if (status == STATUS_OK) {
            std::fprintf(out, "status=0 turn=%d %s written=%s\n", turn, recompressed ? "recompressed" : "lossless",
                         target.c_str());
        } else {
            ++failures;
            std::fprintf(out, "status=%u file=%s\n", status, file);
            if (status == STATUS_TYPE_UNSUPPORTED)
                std::fprintf(err,
                             "lumeva-cli: %s: its sides are not whole JPEG blocks, so it cannot be turned without "
                             "loss; left as it was (--allow-recompress turns it by compressing it again)\n",
                             file);
            else
                std::fprintf(err, "lumeva-cli: %s: %s\n", file, status_text(status));
        }
    });
    return failures ? 1 : 0;
}
