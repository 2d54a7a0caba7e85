// What the PostScript and PDF readers share: temporary files that never outlive the load, and
// numbers written with a decimal point whatever the user's locale.
#pragma once

#include <string>

#include "core/load.h"
#include "core/stream.h"

class ScratchFile {
public:
    ScratchFile() { made_ = temp_file_name(name_) != 0; }
    ~ScratchFile()
    {
        if (made_) std::remove(name_);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    bool made() const { return made_; }
    const char* name() const { return name_; }
    void remove_now()
    {
        if (made_) std::remove(name_);
        made_ = false;
    }

private:
    char name_[TEMP_NAME_MAX] = {};
    bool made_ = false;
};

// printf's "%f"-style text for one number, with a decimal point under any locale.
std::string c_number(const char* format, double value);

// Reads the interpreter's raster output with the reader given, under the label given; the file
// is closed here, and a missing or empty one is not recognised.
Status read_rendered(const char* name, LoadContext* context, Status (*reader)(Stream*, LoadContext*, const char*, int),
                     const char* label, int dpi, int skip_pages);
