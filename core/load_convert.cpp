// The conversion behind load_begin, load_put_lines and load_end.
#include "core/load_internal.h"

struct LoadConversion {};

void load_conversion_release(LoadContext* context)
{
    delete context->conversion;
    context->conversion = nullptr;
}
