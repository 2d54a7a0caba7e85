#include "cli/ops.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

std::vector<CliOpFamily> cli_op_families()
{
    return {{cli_geometry_ops, cli_geometry_op_count},
            {cli_colour_ops, cli_colour_op_count},
            {cli_depth_ops, cli_depth_op_count}};
}

const CliOp* cli_find_op(const std::string& name)
{
    for (const CliOpFamily& f : cli_op_families())
        for (int i = 0; i < f.count; ++i)
            if (name == f.ops[i].name) return &f.ops[i];
    return nullptr;
}

namespace {

bool parse_int(const std::string& text, int* out)
{
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    *out = static_cast<int>(v);
    return true;
}

}  // namespace

bool cli_int_arg(CliOpCall& call, size_t index, int* out)
{
    if (index < call.args.size() && parse_int(call.args[index], out)) return true;
    call.error = "not a whole number: " + (index < call.args.size() ? call.args[index] : std::string("(missing)"));
    return false;
}

bool cli_int_option(CliOpCall& call, const char* name, int fallback, int* out)
{
    const auto it = call.options.find(name);
    if (it == call.options.end()) {
        *out = fallback;
        return true;
    }
    if (parse_int(it->second, out)) return true;
    call.error = std::string(name) + " needs a whole number";
    return false;
}
