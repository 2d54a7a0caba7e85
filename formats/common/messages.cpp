#include "formats/common/messages.h"

Status fail_bad_size(LoadContext* ctx, const char* name, Status status)
{
    return load_fail(ctx, status, "%s : Bad picture's size !", name);
}

Status check_picture_size(LoadContext* ctx, const char* name, int64_t width, int64_t height, int64_t limit,
                          Status status)
{
    if (width < 1 || width >= limit || height < 1 || height >= limit) return fail_bad_size(ctx, name, status);
    return STATUS_OK;
}

Status fail_lzw_refused(LoadContext* ctx, const char* name)
{
    return load_fail(ctx, STATUS_BAD_HEADER, "%s : Bad compression (LZW) !", name);
}

Status fail_bad_code_size(LoadContext* ctx, const char* name)
{
    return load_fail(ctx, STATUS_BAD_HEADER, "%s : Bad code's size !", name);
}

Status fail_bad_lzw_codes(LoadContext* ctx, const char* name)
{
    return load_fail(ctx, STATUS_BAD_HEADER, "%s : Bad LZW codes !", name);
}
