// Between the recognition loop and the conversion behind load_begin / load_put_lines / load_end.
#pragma once

#include "core/load.h"

// Frees the conversion state of a load that stopped before load_end.
void load_conversion_release(LoadContext* context);
