#include "cli/ops.h"

const CliOp cli_depth_ops[] = {
    {nullptr, 0, nullptr, nullptr, nullptr},
};
const int cli_depth_op_count = 0;
