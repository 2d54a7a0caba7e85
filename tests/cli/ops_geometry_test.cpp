#include <gtest/gtest.h>

#include <cstring>

#include "cli/ops.h"
#include "../ops/picture_testing.h"

namespace {

Status run_op(const char* name, Picture* picture, std::vector<std::string> args,
              std::map<std::string, std::string> options = {}, std::string* error = nullptr)
{
    const CliOp* op = cli_find_op(name);
    EXPECT_NE(op, nullptr) << name;
    if (!op) return STATUS_BAD_PARAMETER;
    EXPECT_EQ(static_cast<size_t>(op->arg_count), args.size()) << name;
    CliOpCall call;
    call.args = std::move(args);
    call.options = std::move(options);
    const Status status = op->run(picture, call);
    if (error) *error = call.error;
    return status;
}

TEST(CliGeometryOps, EachNameRunsItsOperationInPlace)
{
    Owned pic;
    make_patterned(pic, PIXEL_RGB, 6, 4);
    const std::vector<uint8_t> corner = pixel_at(pic.p, 0, 0);
    ASSERT_EQ(run_op("rotate", &pic.p, {"-90"}), STATUS_OK);
    EXPECT_EQ(pic.p.width, 4);
    EXPECT_EQ(pixel_at(pic.p, 0, 5), corner);  // counter-clockwise: the top-left corner goes down
    ASSERT_EQ(run_op("rotate", &pic.p, {"90"}), STATUS_OK);
    ASSERT_EQ(run_op("flip-h", &pic.p, {}), STATUS_OK);
    EXPECT_EQ(pixel_at(pic.p, 5, 0), corner);
    ASSERT_EQ(run_op("flip-v", &pic.p, {}), STATUS_OK);
    EXPECT_EQ(pixel_at(pic.p, 5, 3), corner);
    ASSERT_EQ(run_op("crop", &pic.p, {"3", "2", "10", "10"}), STATUS_OK);
    EXPECT_EQ(pic.p.width, 3);
    EXPECT_EQ(pic.p.height, 2);
    EXPECT_EQ(pixel_at(pic.p, 2, 1), corner);
    ASSERT_EQ(run_op("resize", &pic.p, {"6", "4"}, {{"--filter", "2"}}), STATUS_OK);
    EXPECT_EQ(pixel_at(pic.p, 5, 3), corner);
    ASSERT_EQ(run_op("resize", &pic.p, {"12", "8"}, {{"--filter", "8"}}), STATUS_OK);
    EXPECT_EQ(pic.p.width, 12);
    ASSERT_EQ(run_op("resize-average", &pic.p, {"2", "3"}), STATUS_OK);
    EXPECT_EQ(pic.p.width, 2);
    EXPECT_EQ(pic.p.height, 3);
}

TEST(CliGeometryOps, BadArgumentsAreUsageErrorsAndChangeNothing)
{
    Owned pic;
    make_patterned(pic, PIXEL_GREY, 5, 5);
    const std::vector<uint8_t> before = snapshot(pic.p);
    std::string error;
    EXPECT_EQ(run_op("rotate", &pic.p, {"ninety"}, {}, &error), STATUS_BAD_PARAMETER);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(run_op("resize", &pic.p, {"0", "4"}, {}, &error), STATUS_BAD_PARAMETER);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(run_op("resize", &pic.p, {"4", "4"}, {{"--filter", "12"}}, &error), STATUS_BAD_PARAMETER);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(run_op("resize-average", &pic.p, {"4", "x"}, {}, &error), STATUS_BAD_PARAMETER);
    EXPECT_FALSE(error.empty());
    // A rectangle outside the picture is no usage error: the operation itself refuses it.
    EXPECT_EQ(run_op("crop", &pic.p, {"9", "0", "2", "2"}, {}, &error), STATUS_BAD_PARAMETER);
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(snapshot(pic.p), before);
}

}  // namespace
