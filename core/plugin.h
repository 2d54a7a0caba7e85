// Format plug-ins: shared libraries in the plug-in folder that add rows to the format registry.
// Two kinds, told apart by the file's extension: ".dll" libraries register full rows with their own
// reader and writer through a FormatRegistrar; ".usr" libraries offer a simple line-by-line picture
// interface that the library drives itself (plugin_read, plugin_write).
//
// The records below cross the library boundary, so plug-ins are built against this header alone:
// they cannot link with the library, and reach the pipeline through the PluginServices table
// handed to gffGetPluginInfo.
#pragma once

#include <cstdint>

#include "core/format.h"
#include "core/load.h"
#include "core/save.h"
#include "core/stream.h"

#if defined(_WIN32) && !defined(_WIN64)
#define PLUGIN_CALL __stdcall
#else
#define PLUGIN_CALL  // one calling convention on 64-bit Windows and on Linux
#endif

#if defined(_WIN32)
#define PLUGIN_EXPORT extern "C" __declspec(dllexport)
#else
#define PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

constexpr int PLUGIN_VERSION_MIN = 400;
constexpr int PLUGIN_PATH_MAX = 260;

// The pipeline's calls, for ".dll" readers and writers.
struct PluginServices {
    uint32_t size;  // sizeof(PluginServices): later libraries only append
    void (*header_init)(HeaderInfo* header);
    Status (*load_begin)(LoadContext* context, HeaderInfo* header);
    Status (*load_put_lines)(LoadContext* context, int plane, int line, int count);
    Status (*load_end)(LoadContext* context, uint32_t palette_kind, int palette_bits, const uint8_t* palette);
    size_t (*stream_read)(Stream* stream, void* buffer, size_t count);
    int (*stream_seek)(Stream* stream, int64_t offset, int whence);
    int64_t (*stream_tell)(Stream* stream);
    void (*save_header_init)(SaveHeader* header);
    Status (*save_begin)(SaveContext* context, SaveHeader* header);
    Status (*save_get_lines)(SaveContext* context, int line, int count);
    void (*save_end)(SaveContext* context);
    int (*save_get_param)(const SaveContext* context, int which);
    Stream* (*stream_open)(const char* name, int mode);
    void (*stream_close)(Stream* stream);
    size_t (*stream_write)(Stream* stream, const void* buffer, size_t count);
};

// Handed to gffGetPluginInfo, zeroed apart from what the library fills in.
struct PluginInfo {
    int32_t version;                // set by the plug-in: PLUGIN_VERSION_MIN or more
    char folder[PLUGIN_PATH_MAX];   // the plug-in folder
    const PluginServices* services;
};

// Handed to a format's init function by the registrar.
struct PluginFolderRecord {
    const char* (*folder)();
};

struct FormatRegistrar;
using PluginFormatInit = int(PLUGIN_CALL*)(const PluginFolderRecord* record);

struct FormatRegistrar {
    FormatEntry*(PLUGIN_CALL* add_format)(FormatRegistrar* registrar, const char* name,
                                         const char* description, PluginFormatInit init);
    void(PLUGIN_CALL* set_probe)(FormatEntry* row, int on);
    void(PLUGIN_CALL* set_flags)(FormatEntry* row, uint32_t value);
    void(PLUGIN_CALL* set_entry)(FormatEntry* row, int which, void* function);
    void(PLUGIN_CALL* set_reserved)(FormatEntry* row, void* value);
    void(PLUGIN_CALL* add_extension)(FormatEntry* row, const char* text);
    FormatEntry* registry;
    const char* folder;
    int32_t error;  // set to 1 when a format's init refused
};

enum : int {
    PLUGIN_ENTRY_INIT = 0,
    PLUGIN_ENTRY_EXIT = 1,
    PLUGIN_ENTRY_READER = 2,
    PLUGIN_ENTRY_WRITER = 3,
    PLUGIN_ENTRY_WRITABLE_TYPES = 4,
};

// The ".dll" interface.
using GffGetPluginInfo = int(PLUGIN_CALL*)(PluginInfo* info);
using GffGetFormatInfo = int(PLUGIN_CALL*)(FormatRegistrar* registrar);

// The ".usr" interface. Line formats: 1 and 5 are the library's own (see plugin_read); any other
// value is passed on as packed samples.
using GfpGetPluginInfo = int(PLUGIN_CALL*)(int version, char* label, int label_size, char* extension,
                                          int extension_size, int* capabilities);
using GfpLoadPictureInit = void*(PLUGIN_CALL*)(const char* file_name);
using GfpLoadPictureGetInfo = int(PLUGIN_CALL*)(void* handle, int* line_format, int* width, int* height,
                                               int* dpi, int* bits_per_pixel, int* bytes_per_line,
                                               int* has_colour_map, char* label, int label_size);
using GfpLoadPictureGetLine = int(PLUGIN_CALL*)(void* handle, int line, uint8_t* buffer);
using GfpLoadPictureGetColormap = int(PLUGIN_CALL*)(void* handle, uint8_t* palette);
using GfpLoadPictureExit = void(PLUGIN_CALL*)(void* handle);
using GfpSavePictureIsSupported = int(PLUGIN_CALL*)(int width, int height, int bits_per_pixel, int reserved);
using GfpSavePictureInit = void*(PLUGIN_CALL*)(const char* file_name, int width, int height,
                                              int bits_per_pixel, int dpi, int* line_format, char* label,
                                              int label_size);
using GfpSavePicturePutLine = int(PLUGIN_CALL*)(void* handle, int line, const uint8_t* buffer);
using GfpSavePictureExit = void(PLUGIN_CALL*)(void* handle);

enum : int { PLUGIN_CAN_READ = 0x1, PLUGIN_CAN_WRITE = 0x2 };

// Library side.

// The folder scanned by library_init: beside the executable, "Plugins\" ("Plugins/" on Linux),
// unless a folder was set (tests, embedding programs). An empty text restores the default.
void plugin_set_folder(const char* folder);
const char* plugin_folder();

// Called by library_init with the registry lock held.
void plugin_scan();
// Frees every loaded plug-in library and the table; called by library_exit with the lock held.
void plugin_unload_all();
// Before a pending row is used for reading, saving or describing. Takes the registry lock, so
// two threads never fill one row at once; returns a copy of the row as it is then.
FormatEntry plugin_row_ready(int index);

Status plugin_read(Stream* stream, LoadContext* context);
Status plugin_write(const char* file_name, SaveContext* context);
