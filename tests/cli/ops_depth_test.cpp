#include <gtest/gtest.h>

#include "cli/ops.h"
#include "core/picture.h"
#include "support/owned.h"

namespace {

Status run(Picture* p, std::vector<std::string> args, std::map<std::string, std::string> options, std::string* error)
{
    const CliOp* op = cli_find_op("depth");
    EXPECT_NE(op, nullptr);
    if (!op) return STATUS_BAD_PARAMETER;
    CliOpCall call;
    call.args = std::move(args);
    call.options = std::move(options);
    const Status s = op->run(p, call);
    *error = call.error;
    return s;
}

TEST(CliDepth, ConvertsInPlaceAndExplainsBadArguments)
{
    const CliOp* op = cli_find_op("depth");
    ASSERT_NE(op, nullptr);
    EXPECT_EQ(op->arg_count, 1);
    EXPECT_STREQ(op->usage, "depth MODE [--dither N]");

    Owned o;
    ASSERT_EQ(picture_alloc(&o.p, PIXEL_RGB, 4, 3, 2), 1);
    o.p.data[0] = 255;
    std::string error;
    EXPECT_EQ(run(&o.p, {"10"}, {}, &error), STATUS_BAD_PARAMETER);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(o.p.type, PIXEL_RGB);
    EXPECT_EQ(run(&o.p, {"nine"}, {}, &error), STATUS_BAD_PARAMETER);
    EXPECT_EQ(run(&o.p, {"9"}, {{"--dither", "x"}}, &error), STATUS_BAD_PARAMETER);
    EXPECT_EQ(run(&o.p, {"1"}, {{"--dither", "-2"}}, &error), STATUS_BAD_PARAMETER);
    EXPECT_EQ(o.p.type, PIXEL_RGB);

    EXPECT_EQ(run(&o.p, {"9"}, {}, &error), STATUS_OK);
    EXPECT_EQ(o.p.type, PIXEL_GREY);
    EXPECT_EQ(o.p.data[0], 76);
    EXPECT_EQ(run(&o.p, {"1"}, {{"--dither", "5"}}, &error), STATUS_OK);
    EXPECT_EQ(o.p.type, PIXEL_BINARY);
    EXPECT_EQ(run(&o.p, {"18"}, {{"--dither", "1"}}, &error), STATUS_OK);
    EXPECT_EQ(o.p.type, PIXEL_COLORS);
}

}  // namespace
