// The bitmap register: newest first, removal of the newest record of a handle, and two threads
// adding and removing at once.
#include "app/bitmap_register.h"

#include <gtest/gtest.h>

#include <thread>

TEST(BitmapRegisterList, ReportsLeftBitmapsNewestFirstAndEmpties)
{
    BitmapRegister r;
    int a = 0, b = 0, c = 0;
    ASSERT_TRUE(r.add(BitmapKind::dib_section, &a, "one.cpp", 1));
    ASSERT_TRUE(r.add(BitmapKind::compatible_bitmap, &b, "two.cpp", 2));
    ASSERT_TRUE(r.add(BitmapKind::dib_bitmap, &c, "three.cpp", 3));
    EXPECT_TRUE(r.remove(&b));
    EXPECT_FALSE(r.remove(&b));  // no record left: nothing to remove
    const auto left = r.take_all();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].label, "three.cpp");
    EXPECT_EQ(left[0].number, 3);
    EXPECT_EQ(left[1].label, "one.cpp");
    EXPECT_EQ(r.count(), 0u);
    EXPECT_TRUE(r.take_all().empty());
}

TEST(BitmapRegisterList, TwoThreadsAtOnce)
{
    BitmapRegister r;
    static int handles[2][2000];
    auto work = [&](int t) {
        for (int i = 0; i < 2000; ++i) r.add(BitmapKind::dib_section, &handles[t][i], "worker", i);
        for (int i = 0; i < 2000; i += 2) r.remove(&handles[t][i]);
    };
    std::thread one(work, 0), two(work, 1);
    one.join();
    two.join();
    EXPECT_EQ(r.count(), 2000u);
}
