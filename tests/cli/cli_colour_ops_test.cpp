#include <gtest/gtest.h>

#include <cstring>

#include "cli/ops.h"
#include "ops/test_pictures.h"

namespace {

Status run_op(const char* name, std::vector<std::string> args, Picture* p, std::string* error = nullptr)
{
    const CliOp* op = cli_find_op(name);
    if (!op) {
        ADD_FAILURE() << "no operation " << name;
        return STATUS_BAD_PARAMETER;
    }
    EXPECT_EQ(static_cast<size_t>(op->arg_count), args.size()) << name;
    CliOpCall call;
    call.args = std::move(args);
    const Status s = op->run(p, call);
    if (error) *error = call.error;
    return s;
}

TEST(CliColourOps, EveryOperationRunsOnAPicture)
{
    const std::pair<const char*, std::vector<std::string>> calls[] = {
        {"adjust", {"10", "-20", "1.5"}}, {"balance", {"20", "0", "-20"}}, {"auto-contrast", {}},
        {"auto-levels", {}},              {"blur", {"3"}},                 {"sharpen", {}},
        {"filter", {"7"}},                {"sepia", {"100"}},
    };
    for (const auto& [name, args] : calls) {
        OwnedPicture p;
        fill_random(p, PIXEL_RGB, 8, 8, 5);
        const std::vector<uint8_t> before = pixel_bytes(p.p);
        EXPECT_EQ(run_op(name, args, p.get()), STATUS_OK) << name;
        EXPECT_NE(pixel_bytes(p.p), before) << name;
    }
}

TEST(CliColourOps, BalanceAndSepiaGiveTheLibrarysResult)
{
    OwnedPicture p;
    picture_alloc(p.get(), PIXEL_RGB, 1, 1, 1);
    p->data[0] = p->data[1] = p->data[2] = 128;
    ASSERT_EQ(run_op("sepia", {"100"}, p.get()), STATUS_OK);
    EXPECT_EQ(p->data[0], 192);
    ASSERT_EQ(run_op("balance", {"-2", "0", "5"}, p.get()), STATUS_OK);
    EXPECT_EQ(p->data[0], 190);
    EXPECT_EQ(p->data[2], 133);
}

TEST(CliColourOps, BadArgumentsAreUsageErrors)
{
    OwnedPicture p;
    fill_random(p, PIXEL_RGB, 3, 3, 1);
    const std::vector<uint8_t> before = pixel_bytes(p.p);
    std::string error;
    EXPECT_EQ(run_op("adjust", {"0", "0", "1,5"}, p.get(), &error), STATUS_BAD_PARAMETER);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(run_op("adjust", {"0", "0", "0"}, p.get(), &error), STATUS_BAD_PARAMETER);
    EXPECT_EQ(run_op("adjust", {"0", "200", "1"}, p.get(), &error), STATUS_BAD_PARAMETER);
    EXPECT_EQ(run_op("filter", {"9"}, p.get(), &error), STATUS_BAD_PARAMETER);
    EXPECT_EQ(run_op("blur", {"x"}, p.get(), &error), STATUS_BAD_PARAMETER);
    EXPECT_EQ(run_op("sepia", {"-1"}, p.get(), &error), STATUS_BAD_PARAMETER);
    EXPECT_EQ(pixel_bytes(p.p), before);
    // Refusals of the operation itself carry no usage text.
    OwnedPicture grey;
    fill_random(grey, PIXEL_GREY, 3, 3, 1);
    error.clear();
    EXPECT_EQ(run_op("sepia", {"100"}, grey.get(), &error), STATUS_BAD_PARAMETER);
    EXPECT_TRUE(error.empty());
}

}  // namespace
