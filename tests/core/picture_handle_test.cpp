// The owning picture record: every block freed exactly once whatever the hands it passes through
// (the sanitizer build turns a leak or a double free into a failure).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "core/picture_handle.h"

namespace {

// A picture with every kind of block: pixels, colour map, comment and two chunks.
PictureHandle full_picture(uint8_t fill)
{
    PictureHandle p = PictureHandle::create();
    EXPECT_EQ(picture_alloc(p.get(), PIXEL_COLORS, 4, 7, 3), 1);
    std::memset(p->data, fill, picture_data_size(p.get()));
    p->colour_map[fill] = 200;
    p->comment = static_cast<char*>(std::malloc(6));
    std::memcpy(p->comment, "hello", 6);
    for (uint32_t kind : {CHUNK_EXIF, CHUNK_IPTC}) {
        auto* chunk = static_cast<PictureChunk*>(std::calloc(1, sizeof(PictureChunk)));
        chunk->kind = kind;
        chunk->size = 3;
        chunk->bytes = static_cast<uint8_t*>(std::malloc(3));
        std::memset(chunk->bytes, fill, 3);
        chunk->next = p->chunks;
        p->chunks = chunk;
    }
    return p;
}

TEST(PictureHandle, MovesLeaveTheSourceEmptyAndKeepTheBlocks)
{
    PictureHandle a = full_picture(5);
    Picture* record = a.get();
    PictureHandle b(std::move(a));
    EXPECT_EQ(a, nullptr);
    EXPECT_FALSE(a);
    EXPECT_EQ(b.get(), record);
    EXPECT_EQ(b->data[0], 5);

    PictureHandle c = full_picture(9);
    c = std::move(b);  // the picture c held is freed
    EXPECT_EQ(c.get(), record);
    EXPECT_EQ(b, nullptr);
    EXPECT_STREQ(c->comment, "hello");

    std::vector<PictureHandle> kept;
    for (int i = 0; i < 20; ++i) kept.push_back(full_picture(static_cast<uint8_t>(i)));  // moved as the vector grows
    for (int i = 0; i < 20; ++i) EXPECT_EQ(kept[i]->data[0], i);
}

TEST(PictureHandle, SelfAssignmentKeepsThePicture)
{
    PictureHandle a = full_picture(3);
    Picture* record = a.get();
    PictureHandle& same = a;
    a = std::move(same);
    EXPECT_EQ(a.get(), record);
    EXPECT_EQ(a->data[0], 3);
    a.reset(record);  // handing a handle what it holds already frees nothing
    EXPECT_EQ(a->data[0], 3);
}

TEST(PictureHandle, ReleaseHandsTheRecordOverAndResetFreesIt)
{
    PictureHandle a = full_picture(7);
    Picture* record = a.release();
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(record->data[0], 7);
    PictureHandle b(record);  // the new owner frees it
    b.reset();
    EXPECT_EQ(b, nullptr);
    b.reset();  // twice is harmless
}

TEST(PictureHandle, ClonesHaveBlocksOfTheirOwnAndAdoptionTakesThemOver)
{
    PictureHandle a = full_picture(4);
    PictureHandle copy = PictureHandle::clone(*a);
    ASSERT_TRUE(copy);
    EXPECT_NE(copy->data, a->data);
    EXPECT_NE(copy->chunks, a->chunks);
    EXPECT_EQ(copy->data[0], 4);
    a.reset();
    EXPECT_EQ(copy->colour_map[4], 200);

    Picture local{};
    ASSERT_EQ(picture_alloc(&local, PIXEL_RGB, 1, 2, 2), 1);
    uint8_t* data = local.data;
    PictureHandle adopted = PictureHandle::adopt(&local);
    ASSERT_TRUE(adopted);
    EXPECT_EQ(adopted->data, data);
    EXPECT_EQ(local.data, nullptr);  // nothing left to free twice
}

}  // namespace
