// The registry of file formats: built-in codecs first, in a fixed order, then plug-ins.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/load.h"

enum : uint32_t {
    FORMAT_PROBE = 0x1,
    FORMAT_PLUGIN_PENDING = 0x4,
    FORMAT_PLUGIN_PENDING_USR = 0x8,
    FORMAT_REOPEN = 0x10,
    FORMAT_OWNS_NAMES = 0x20,
    FORMAT_READ = 0x100,
    FORMAT_WRITE = 0x200,
};

constexpr int FORMAT_MAX = 55;
constexpr int FORMAT_EXTENSIONS_MAX = 10;
constexpr int FORMAT_WRITABLE_MAX = 8;
constexpr uint16_t WRITABLE_END = 65535;
constexpr uint16_t WRITABLE_NO_LIMIT = 65535;

struct WritableType {
    uint16_t type;         // WRITABLE_END ends the list
    uint16_t max_colours;  // WRITABLE_NO_LIMIT: none
    uint32_t reserved[2];
    const char* extension;  // null: the row's first extension
};

struct SaveContext;
using FormatWriter = Status (*)(const char* file_name, SaveContext* context);
using FormatWritableTypes = void (*)(WritableType list[FORMAT_WRITABLE_MAX]);

// A row names only the fields it uses; the others are null.
struct FormatEntry {
    uint32_t flags = 0;
    const char* name = nullptr;
    const char* description = nullptr;
    int (*init)() = nullptr;
    void (*exit)() = nullptr;
    FormatReader reader = nullptr;
    FormatWriter writer = nullptr;
    FormatWritableTypes writable_types = nullptr;
    void* reserved = nullptr;
    uint32_t private_value = 0;
    const char* extensions[FORMAT_EXTENSIONS_MAX] = {};
};

struct FormatInfo {
    char name[9];
    uint16_t index;
    uint8_t capabilities;  // bit 0 readable, bit 1 writable
    uint8_t zero;
    char description[65];
    char extensions[FORMAT_EXTENSIONS_MAX + 1][9];
    WritableType writable[FORMAT_WRITABLE_MAX];
};

void library_init();
void library_exit();
int format_count();
const char* format_get_name(int index);
int format_get_info(int index, FormatInfo* out, int load_plugin);
// True when any row (index -1) or the given row lists the file's extension.
bool format_find_by_extension(const char* file_name, int index = -1);
// Row index of a short name, or -1.
int format_find_by_name(const char* name);

// The extension of a file name, lower-cased (A-Z only), into `out`; empty when it has none.
void file_extension(const char* file_name, char* out, int size);

// A cheap look at a file's first bytes (FORMAT_HEAD_BYTES, fewer for a shorter file) before a
// reader runs: false only when the file certainly is not of the row's format, so that no reader
// starts, and keeps anything, on a file that is not its own.
constexpr int FORMAT_HEAD_BYTES = 64;
using FormatSignature = bool (*)(const uint8_t* head, size_t size);

// The registry's rows, for the loading and saving pipelines (and tests that stand in fake codecs).
// Valid between library_init and library_exit.
FormatEntry* format_rows();
// The rows' signature checks, one per row beside format_rows() (null: the reader decides alone).
// The row's layout is fixed for plug-ins, so the check lives beside it rather than in it.
FormatSignature* format_signatures();

// A built-in row with its signature check.
struct BuiltinFormat {
    FormatEntry row;
    FormatSignature signature = nullptr;
};
// The built-in rows, in registry order; the codecs fill in their functions.
extern const BuiltinFormat builtin_formats[];
extern const int builtin_format_count;
