// Failure messages several readers share. Each names the format as its reader does ("Pcx",
// "GIF", "Windows Bitmap"), writes "<name> : <text> !" into the load context and returns the
// status, so a reader writes `return fail_bad_size(ctx, "Pcx", STATUS_UNKNOWN_FORMAT)`.
#pragma once

#include <cstdint>

#include "core/load.h"

// Most formats take sides from 1 to below this.
constexpr int64_t PICTURE_SIDE_LIMIT = 16000;

// "<name> : Bad picture's size !"
Status fail_bad_size(LoadContext* context, const char* name, Status status = STATUS_BAD_HEADER);
// Width and height from 1 to below `limit` (given as the file gives them, before any narrowing);
// else fail_bad_size.
Status check_picture_size(LoadContext* context, const char* name, int64_t width, int64_t height,
                          int64_t limit = PICTURE_SIDE_LIMIT, Status status = STATUS_BAD_HEADER);
// "<name> : Bad compression (LZW) !": LZW data while LZW is switched off.
Status fail_lzw_refused(LoadContext* context, const char* name);
// "<name> : Bad code's size !": an LZW minimum code size out of range.
Status fail_bad_code_size(LoadContext* context, const char* name);
// "<name> : Bad LZW codes !": LZW data that does not decode.
Status fail_bad_lzw_codes(LoadContext* context, const char* name);
