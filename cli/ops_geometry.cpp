#include "cli/ops.h"

const CliOp cli_geometry_ops[] = {
    {nullptr, 0, nullptr, nullptr, nullptr},
};
const int cli_geometry_op_count = 0;
