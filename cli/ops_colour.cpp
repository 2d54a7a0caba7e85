#include "cli/ops.h"

const CliOp cli_colour_ops[] = {
    {nullptr, 0, nullptr, nullptr, nullptr},
};
const int cli_colour_op_count = 0;
