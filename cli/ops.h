// The image operations `lumeva-cli op` offers. Each family lists its operations in a table of its
// own file (ops_geometry.cpp, ops_colour.cpp, ops_depth.cpp); cli_op_families() gathers them.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/picture.h"

struct CliOpCall {
    std::vector<std::string> args;               // the operation's own positional arguments
    std::map<std::string, std::string> options;  // its own options ("--filter" -> "8")
    std::string error;                           // set when an argument is not understood
};

struct CliOp {
    const char* name;
    int arg_count;
    const char* usage;             // "resize W H [--filter N]"
    const char* const* options;    // the options taking one value each, null-terminated, or null
    // Runs on the whole picture, in place. Returns STATUS_BAD_PARAMETER with call.error set when
    // an argument is not a number or out of range.
    Status (*run)(Picture* picture, CliOpCall& call);
};

struct CliOpFamily {
    const CliOp* ops;
    int count;
};

std::vector<CliOpFamily> cli_op_families();
const CliOp* cli_find_op(const std::string& name);

// Argument parsing shared by the families: whole numbers only, negative ones included.
bool cli_int_arg(CliOpCall& call, size_t index, int* out);
bool cli_int_option(CliOpCall& call, const char* name, int fallback, int* out);

extern const CliOp cli_geometry_ops[];
extern const int cli_geometry_op_count;
extern const CliOp cli_colour_ops[];
extern const int cli_colour_op_count;
extern const CliOp cli_depth_ops[];
extern const int cli_depth_op_count;
