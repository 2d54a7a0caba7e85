// Status codes shared by loading, saving, the codecs and the image operations.
#pragma once

#include <cstdint>

#if defined(_WIN32)
// winnt.h defines STATUS_NO_MEMORY as an NT status code. Taking windows.h here, before the
// library's names, and dropping that macro keeps STATUS_NO_MEMORY the library's code in every file.
#include <windows.h>
#undef STATUS_NO_MEMORY
#endif

using Status = uint16_t;

enum : Status {
    STATUS_OK = 0,
    STATUS_NO_MEMORY = 1,
    STATUS_UNKNOWN_FORMAT = 2,
    STATUS_OPEN_FAILED = 3,
    STATUS_INCOMPLETE = 4,
    STATUS_CREATE_FAILED = 5,
    STATUS_WRITE_FAILED = 6,
    STATUS_TYPE_UNSUPPORTED = 7,
    STATUS_NO_WRITER = 8,
    STATUS_BAD_HEADER = 9,
    STATUS_CORRUPT = 10,
    STATUS_CODEC_ERROR = 11,
    STATUS_STOPPED = 15,
    STATUS_BAD_PARAMETER = 16,
    STATUS_BILEVEL_REFUSED = 17,
};

// Returns from the calling function with the status of `expr` unless it is STATUS_OK.
#define LUM_TRY(expr)                                   \
    do {                                                \
        const Status lum_try_status_ = (expr);          \
        if (lum_try_status_ != STATUS_OK) return lum_try_status_; \
    } while (0)

// A short English text for a status, for reports and the command-line tool.
const char* status_text(Status status);
