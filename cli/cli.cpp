// lumeva-cli: the picture library without the window, for batch work and for checking the
// library against other decoders. The commands write to the streams they are given, so the
// tests run them in-process on both platforms.
#include "cli/cli.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "cli/inspect.h"
#include "cli/ops.h"
#include "core/format.h"
#include "formats/metafile/metafile_codec.h"
#include "core/load.h"
#include "core/picture_handle.h"
#include "core/save.h"
#include "core/parallel.h"
#include "cli/turn.h"
#include "editing/document.h"

namespace {

constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

const char* const usage_text =
    "usage: lumeva-cli COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  info FILE [--pixels-sha256] [--flags N] [--box WxH] [--average] [--origin N] [--format NAME]\n"
    "      load FILE and print one line of key=value pairs describing the picture; --flags takes\n"
    "      the load flags (e.g. 7172 as the thumbnails load), --box reduces into a box, --average\n"
    "      reduces by area averaging, --origin asks for the line order (16: bottom line first)\n"
    "  op NAME [ARG...] IN [--out OUT] [--pixels-sha256]\n"
    "      load IN, run one image operation on the whole picture, print the result as info does\n"
    "      and save it to OUT; `lumeva-cli op --list` lists the operations\n"
    "  convert IN OUT [--format NAME] [--quality Q] [--progressive] [--set-extension]\n"
    "      load IN (keeping its comment and Exif) and save it as OUT, in the format of OUT's\n"
    "      extension or NAME\n"
    "  thumb --box WxH [--average] (IN OUT | --out-dir DIR FILE...)\n"
    "      make thumbnails as the home screen does, saved as JPEG at quality 80\n"
    "  retouch IN [--out OUT] [--pixels-sha256] CMD...\n"
    "      open IN as the editing screen does and run its commands in order: rotate-left,\n"
    "      rotate-right, flip-h, flip-v, auto-contrast, auto-levels, blur, sharpen, black-white,\n"
    "      sepia, adjust=B,C,G,R,G,B, red-eyes=L,T,R,B, crop=L,T,R,B, undo, undo-all; OUT is\n"
    "      saved as JPEG at quality 80\n"
    "  turn (--auto | --left | --right | --half | --flip-h | --flip-v) FILE... [--out-dir DIR]\n"
    "       [--allow-recompress]\n"
    "      turn or mirror JPEG photos without loss, replacing them (or writing into DIR); --auto\n"
    "      stands each upright by its Exif orientation; a photo whose sides are not whole JPEG\n"
    "      blocks is refused unless --allow-recompress is given\n"
    "  formats\n"
    "      list the registered file formats, one a line\n"
    "  --help\n"
    "      show this text\n"
    "\n"
    "exit status: 0 success, 1 the file could not be loaded, 2 bad command line\n";

FILE* out = stdout;
FILE* err = stderr;

int usage_error(const char* what, const char* arg)
{
    std::fprintf(err, "lumeva-cli: %s%s%s\n(see lumeva-cli --help)\n", what, arg ? ": " : "",
                 arg ? arg : "");
    return EXIT_USAGE;
}

bool parse_number(const char* text, long* out)
{
    char* end = nullptr;
    *out = std::strtol(text, &end, 0);
    return end != text && *end == '\0';
}

bool parse_box(const char* text, int* w, int* h)
{
    char* end = nullptr;
    const long bw = std::strtol(text, &end, 10);
    if (end == text || (*end != 'x' && *end != 'X')) return false;
    const char* rest = end + 1;
    const long bh = std::strtol(rest, &end, 10);
    if (end == rest || *end != '\0' || bw < 1 || bh < 1 || bw > 1000000 || bh > 1000000) return false;
    *w = static_cast<int>(bw);
    *h = static_cast<int>(bh);
    return true;
}

void print_picture_line(Status status, const char* format, const Picture& pic, const FileInfo& info,
                        bool with_hash)
{
    std::fprintf(out, "status=%u format=%s width=%d height=%d type=%u bits=%u colours=%d x_dpi=%d y_dpi=%d preview=%d",
                status, format ? format : "", pic.width, pic.height, pic.type, pic.bits_per_component,
                pic.colour_used, pic.x_dpi, pic.y_dpi, info.preview);
    if (with_hash) std::fprintf(out, " pixels_sha256=%s", picture_rgba_sha256(pic).c_str());
    std::fprintf(out, "\n");
}

void report_failure(const char* file, Status status, const char* message)
{
    std::fprintf(out, "status=%u\n", status);
    std::fprintf(err, "lumeva-cli: %s: %s%s%s\n", file, status_text(status), message && message[0] ? ": " : "",
                 message ? message : "");
}

// Loads `file` into a new record; the texts of `info` are not kept.
Status load_into(const char* file, const LoadParams& params, PictureHandle* out, FileInfo* info)
{
    PictureHandle pic = PictureHandle::create();
    if (!pic) return STATUS_NO_MEMORY;
    const Status status = load_picture(file, pic.get(), &params, info);
    file_info_free_texts(info);
    if (status == STATUS_OK) *out = std::move(pic);
    return status;
}

int command_info(int argc, char** argv)
{
    const char* file = nullptr;
    bool with_hash = false;
    LoadParams params;
    load_params_init(&params);
    for (int i = 0; i < argc; ++i) {
        const char* a = argv[i];
        const bool has_value = i + 1 < argc;
        if (std::strcmp(a, "--pixels-sha256") == 0) {
            with_hash = true;
        } else if (std::strcmp(a, "--flags") == 0) {
            long v;
            if (!has_value || !parse_number(argv[++i], &v) || v < 0) return usage_error("--flags needs a number", nullptr);
            params.flags = static_cast<uint32_t>(v);
        } else if (std::strcmp(a, "--box") == 0) {
            int w, h;
            if (!has_value || !parse_box(argv[++i], &w, &h)) return usage_error("--box needs WxH", nullptr);
            params.box_width = w;
            params.box_height = h;
        } else if (std::strcmp(a, "--average") == 0) {
            params.reduce_method = 2;
        } else if (std::strcmp(a, "--origin") == 0) {
            long v;
            if (!has_value || !parse_number(argv[++i], &v) || v < 0 || v > 0xFFFF) return usage_error("--origin needs a number", nullptr);
            params.origin = static_cast<uint16_t>(v);
        } else if (std::strcmp(a, "--format") == 0) {
            if (!has_value) return usage_error("--format needs a name", nullptr);
            const int index = format_find_by_name(argv[++i]);
            if (index < 0) return usage_error("unknown format", argv[i]);
            params.format_index = static_cast<int16_t>(index);
        } else if (a[0] == '-' && a[1] == '-') {
            return usage_error("unknown option", a);
        } else if (!file) {
            file = a;
        } else {
            return usage_error("more than one file", a);
        }
    }
    if (!file) return usage_error("info needs a file", nullptr);

    PictureHandle pic;
    FileInfo info{};
    const Status status = load_into(file, params, &pic, &info);
    if (status != STATUS_OK) {
        report_failure(file, status, info.message);
        return EXIT_FAILED;
    }
    print_picture_line(status, format_get_name(info.format_index), *pic, info, with_hash);
    return 0;
}

int command_formats(int argc, char**)
{
    if (argc > 0) return usage_error("formats takes no arguments", nullptr);
    for (int i = 0; i < format_count(); ++i) {
        FormatInfo f;
        format_get_info(i, &f, 0);
        std::string exts;
        for (int e = 0; e < FORMAT_EXTENSIONS_MAX && f.extensions[e][0]; ++e) {
            if (!exts.empty()) exts += ',';
            exts += f.extensions[e];
        }
        // Metafiles are drawn by the Windows graphics interface: other builds only name them.
        const bool needs_windows = !metafile_supported() && (std::strcmp(f.name, "wmf") == 0 || std::strcmp(f.name, "emf") == 0);
        std::fprintf(out, "%2d %-5s %c%c  %-34s %s%s\n", i, f.name, (f.capabilities & 1) && !needs_windows ? 'r' : '-',
                    (f.capabilities & 2) ? 'w' : '-', f.description, exts.c_str(), needs_windows ? "  (needs Windows)" : "");
    }
    return 0;
}

// The first writable row listing the file's extension, or -1.
int writer_for(const char* file_name)
{
    for (int i = 0; i < format_count(); ++i)
        if ((format_rows()[i].flags & FORMAT_WRITE) && format_find_by_extension(file_name, i)) return i;
    return -1;
}

// Saves a picture; the format is `format` (a short name) or follows the file's extension.
Status cli_save(const Picture& pic, const char* file_name, const char* format = nullptr, int quality = -1,
                uint32_t flags = 0, bool progressive = false, std::string* final_name = nullptr)
{
    SaveParams params;
    save_params_init(&params);
    params.format_index = static_cast<int16_t>(format ? format_find_by_name(format) : writer_for(file_name));
    if (params.format_index < 0) return STATUS_NO_WRITER;
    if (quality >= 0) params.quality = static_cast<uint16_t>(quality);
    params.progressive = progressive ? 1 : 0;
    params.flags = flags | SAVE_RETURN_NAME;
    std::vector<char> name(std::strlen(file_name) + 80);
    const Status status = save_picture(file_name, &pic, &params, name.data(), name.size());
    if (final_name) *final_name = name.data();
    return status;
}

int command_convert(int argc, char** argv)
{
    const char* files[2] = {nullptr, nullptr};
    const char* format = nullptr;
    long quality = -1;
    bool progressive = false, set_extension = false;
    int n = 0;
    for (int i = 0; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--format") == 0 && i + 1 < argc) {
            format = argv[++i];
            if (format_find_by_name(format) < 0) return usage_error("unknown format", format);
        } else if (std::strcmp(a, "--quality") == 0 && i + 1 < argc) {
            if (!parse_number(argv[++i], &quality) || quality < 0 || quality > 100) return usage_error("--quality needs 0 to 100", nullptr);
        } else if (std::strcmp(a, "--progressive") == 0) {
            progressive = true;
        } else if (std::strcmp(a, "--set-extension") == 0) {
            set_extension = true;
        } else if (a[0] == '-' && a[1] == '-') {
            return usage_error("unknown option", a);
        } else if (n < 2) {
            files[n++] = a;
        } else {
            return usage_error("convert takes IN and OUT", a);
        }
    }
    if (n != 2) return usage_error("convert takes IN and OUT", nullptr);

    LoadParams params;
    load_params_init(&params);
    params.flags = LOAD_KEEP_COMMENT | LOAD_KEEP_CHUNKS;
    PictureHandle pic;
    FileInfo info{};
    Status status = load_into(files[0], params, &pic, &info);
    if (status != STATUS_OK) {
        report_failure(files[0], status, info.message);
        return EXIT_FAILED;
    }
    std::string written;
    status = cli_save(*pic, files[1], format, static_cast<int>(quality), set_extension ? uint32_t{SAVE_SET_EXTENSION} : 0u, progressive, &written);
    if (status != STATUS_OK) {
        report_failure(files[1], status, nullptr);
        return EXIT_FAILED;
    }
    print_picture_line(status, format_get_name(info.format_index), *pic, info, false);
    std::fprintf(out, "written=%s\n", written.c_str());
    return 0;
}

// A thumbnail as the home screen makes it, saved as JPEG at quality 80.
Status make_thumbnail(const char* in, const char* out_name, int box_w, int box_h, bool average, std::string* message)
{
    LoadParams params;
    load_params_init(&params);
    params.flags = LOAD_KNOWN_EXTENSION | LOAD_ACCEPT_DAMAGED | LOAD_DEEP_AS_RGB | LOAD_PREVIEW;
    params.line_padding = 4;
    params.box_width = box_w;
    params.box_height = box_h;
    if (average) params.reduce_method = 2;
    PictureHandle pic;
    FileInfo info{};
    const Status status = load_into(in, params, &pic, &info);
    if (status != STATUS_OK) {
        *message = info.message;
        return status;
    }
    return cli_save(*pic, out_name, "jpeg", 80);
}

std::string thumbnail_name(const std::string& folder, const char* file)
{
    std::string base = file;
    const size_t slash = base.find_last_of("/\\");
    if (slash != std::string::npos) base.erase(0, slash + 1);
    const size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && dot > 0) base.erase(dot);
    return folder + "/" + base + ".jpg";
}

int command_thumb(int argc, char** argv)
{
    int box_w = 0, box_h = 0;
    bool average = false;
    const char* folder = nullptr;
    std::vector<const char*> files;
    for (int i = 0; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--box") == 0 && i + 1 < argc) {
            if (!parse_box(argv[++i], &box_w, &box_h)) return usage_error("--box needs WxH", nullptr);
        } else if (std::strcmp(a, "--average") == 0) {
            average = true;
        } else if (std::strcmp(a, "--out-dir") == 0 && i + 1 < argc) {
            folder = argv[++i];
        } else if (a[0] == '-' && a[1] == '-') {
            return usage_error("unknown option", a);
        } else {
            files.push_back(a);
        }
    }
    if (box_w < 1) return usage_error("thumb needs --box WxH", nullptr);
    if (!folder) {
        if (files.size() != 2) return usage_error("thumb takes IN and OUT, or --out-dir DIR and files", nullptr);
        std::string message;
        const Status status = make_thumbnail(files[0], files[1], box_w, box_h, average, &message);
        if (status != STATUS_OK) {
            report_failure(files[0], status, message.c_str());
            return EXIT_FAILED;
        }
        std::fprintf(out, "status=0 written=%s\n", files[1]);
        return 0;
    }
    if (files.empty()) return usage_error("thumb --out-dir needs files", nullptr);

#if defined(__GLIBC__)
    // Progressive photos need their whole coefficient buffer (tens of megabytes) while they
    // decode. Kept on the heap instead of being mapped and unmapped for every file, it is reused
    // without paying its page faults again.
    mallopt(M_MMAP_THRESHOLD, 512 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
#endif
    std::atomic<int> failures{0};
    std::mutex report;
    for_each_in_parallel(files.size(), [&](size_t i) {
        const std::string target = thumbnail_name(folder, files[i]);
        std::string message;
        const Status status = make_thumbnail(files[i], target.c_str(), box_w, box_h, average, &message);
        std::lock_guard<std::mutex> lock(report);
        if (status == STATUS_OK) {
            std::fprintf(out, "status=0 written=%s\n", target.c_str());
        } else {
            ++failures;
            std::fprintf(out, "status=%u file=%s\n", status, files[i]);
            std::fprintf(err, "lumeva-cli: %s: %s%s%s\n", files[i], status_text(status), message.empty() ? "" : ": ",
                         message.c_str());
        }
    });
    return failures ? EXIT_FAILED : 0;
}

int command_op(int argc, char** argv)
{
    if (argc >= 1 && std::strcmp(argv[0], "--list") == 0) {
        for (const CliOpFamily& f : cli_op_families())
            for (int i = 0; i < f.count; ++i) std::fprintf(out, "%s\n", f.ops[i].usage);
        return 0;
    }
    if (argc < 1) return usage_error("op needs an operation name", nullptr);
    const CliOp* op = cli_find_op(argv[0]);
    if (!op) return usage_error("unknown operation", argv[0]);

    CliOpCall call;
    const char* output = nullptr;
    bool with_hash = false;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        bool own_option = false;
        for (const char* const* o = op->options; o && *o; ++o) own_option |= a == *o;
        // Only "--" starts an option: "rotate -90" and "balance 20 0 -20" take negative numbers.
        if (a == "--pixels-sha256") {
            with_hash = true;
        } else if (a == "--out" || own_option) {
            if (i + 1 >= argc) return usage_error("option needs a value", a.c_str());
            if (a == "--out") output = argv[++i];
            else call.options[a] = argv[++i];
        } else if (a.rfind("--", 0) == 0) {
            return usage_error("unknown option", a.c_str());
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != static_cast<size_t>(op->arg_count) + 1) {
        std::fprintf(err, "lumeva-cli: usage: op %s IN [--out OUT] [--pixels-sha256]\n", op->usage);
        return EXIT_USAGE;
    }
    const std::string input = positional.back();
    positional.pop_back();
    call.args = positional;

    LoadParams params;
    load_params_init(&params);
    PictureHandle pic;
    FileInfo info{};
    Status status = load_into(input.c_str(), params, &pic, &info);
    if (status != STATUS_OK) {
        report_failure(input.c_str(), status, info.message);
        return EXIT_FAILED;
    }
    status = op->run(pic.get(), call);
    if (status != STATUS_OK) {
        report_failure(op->name, status, call.error.c_str());
        return call.error.empty() ? EXIT_FAILED : EXIT_USAGE;
    }
    if (output) status = cli_save(*pic, output);
    if (status != STATUS_OK) {
        report_failure(output, status, nullptr);
        return EXIT_FAILED;
    }
    print_picture_line(status, format_get_name(info.format_index), *pic, info, with_hash);
    return 0;
}

bool parse_numbers(const std::string& text, std::vector<double>* out, size_t count)
{
    out->clear();
    size_t at = 0;
    while (at <= text.size()) {
        const size_t comma = text.find(',', at);
        const std::string part = text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        char* end = nullptr;
        const double v = std::strtod(part.c_str(), &end);
        if (part.empty() || *end != '\0') return false;
        out->push_back(v);
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    return out->size() == count;
}

// The frame and adjustment numbers are 32-bit integers in the document: larger ones are refused
// rather than cut down to something else.
bool whole_numbers_in_range(const std::vector<double>& numbers, std::initializer_list<size_t> which)
{
    for (size_t i : which)
        if (!(numbers[i] >= INT32_MIN && numbers[i] <= INT32_MAX)) return false;
    return true;
}

// One document command of `retouch`; false with `error` set when it is not understood.
bool run_document_command(PhotoDocument* doc, const std::string& command, std::string* error)
{
    const size_t eq = command.find('=');
    const std::string name = command.substr(0, eq);
    const std::string args = eq == std::string::npos ? std::string() : command.substr(eq + 1);
    std::vector<double> n;
    const bool adjust = name == "adjust" && parse_numbers(args, &n, 6);
    const bool frame = (name == "red-eyes" || name == "crop") && parse_numbers(args, &n, 4);
    if ((adjust && !whole_numbers_in_range(n, {0, 1, 3, 4, 5})) || (frame && !whole_numbers_in_range(n, {0, 1, 2, 3}))) {
        *error = "number out of range (32-bit integers only): " + command;
        return false;
    }
    if (name == "rotate-left") document_rotate(doc, -90);
    else if (name == "rotate-right") document_rotate(doc, 90);
    else if (name == "flip-h") document_flip_horizontal(doc);
    else if (name == "flip-v") document_flip_vertical(doc);
    else if (name == "auto-contrast") document_auto_contrast(doc);
    else if (name == "auto-levels") document_auto_levels(doc);
    else if (name == "blur") document_blur(doc, 3);
    else if (name == "sharpen") document_sharpen(doc);
    else if (name == "black-white") document_black_and_white(doc);
    else if (name == "sepia") document_sepia(doc);
    else if (name == "undo") document_undo(doc);
    else if (name == "undo-all") document_undo_all(doc);
    else if (adjust) document_adjust(doc, int(n[0]), int(n[1]), n[2], int(n[3]), int(n[4]), int(n[5]));
    else if (frame && name == "red-eyes") document_red_eyes(doc, int(n[0]), int(n[1]), int(n[2]), int(n[3]));
    else if (frame) document_crop(doc, int(n[0]), int(n[1]), int(n[2]), int(n[3]));
    else {
        *error = "unknown command or bad arguments: " + command;
        return false;
    }
    return true;
}

int command_retouch(int argc, char** argv)
{
    const char* input = nullptr;
    const char* output = nullptr;
    bool with_hash = false;
    std::vector<std::string> commands;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--out" && i + 1 < argc) output = argv[++i];
        else if (a == "--pixels-sha256") with_hash = true;
        else if (a.rfind("--", 0) == 0) return usage_error("unknown option", a.c_str());
        else if (!input) input = argv[i];
        else commands.push_back(a);
    }
    if (!input) return usage_error("retouch needs a file", nullptr);

    PhotoDocument doc;
    document_set_undo(&doc, true);
    FileInfo info{};
    const Status opened = document_open(&doc, input, &info);
    file_info_free_texts(&info);
    if (opened != STATUS_OK) {
        report_failure(input, opened, info.message);
        return EXIT_FAILED;
    }
    for (const std::string& c : commands) {
        std::string error;
        if (!run_document_command(&doc, c, &error)) {
            document_release_all(&doc);
            return usage_error(error.c_str(), nullptr);
        }
    }
    const Status saved = output ? document_save(&doc, output, 80) : Status{STATUS_OK};
    if (saved != STATUS_OK) {
        report_failure(output, saved, nullptr);
        document_release_all(&doc);
        return EXIT_FAILED;
    }
    // The format of the photo as opened, as `op` prints it.
    if (doc.current_picture) print_picture_line(STATUS_OK, format_get_name(info.format_index), *doc.current_picture, info, with_hash);
    document_release_all(&doc);
    return 0;
}

int command_turn_here(int argc, char** argv) { return command_turn(argc, argv, out, err); }

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
};

const Command commands[] = {
    {"info", command_info},
    {"formats", command_formats},
    {"op", command_op},
    {"convert", command_convert},
    {"thumb", command_thumb},
    {"retouch", command_retouch},
    {"turn", command_turn_here},
};

}  // namespace

int cli_run(int argc, char** argv, FILE* out_stream, FILE* err_stream)
{
    out = out_stream;
    err = err_stream;
    if (argc < 2) {
        std::fputs(usage_text, err);
        return EXIT_USAGE;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "help") == 0) {
        std::fputs(usage_text, out);
        return 0;
    }
    for (const Command& c : commands) {
        if (std::strcmp(argv[1], c.name) != 0) continue;
        library_init();
        const int code = c.run(argc - 2, argv + 2);
        library_exit();
        return code;
    }
    return usage_error("unknown command", argv[1]);
}
