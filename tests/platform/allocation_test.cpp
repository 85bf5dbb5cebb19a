// The allocation seam: an armed failure hits exactly the chosen allocation, of
// whatever kind, and the live-string count follows every string made and freed.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/allocation.h"

namespace {

namespace seam = platform::allocation_seam;

class AllocationSeam : public ::testing::Test {
protected:
    void TearDown() override { seam::FailNth(0); }
};

TEST_F(AllocationSeam, TheNthAllocationFailsAndOnlyIt) {
    seam::FailNth(3);
    EXPECT_EQ(seam::Pending(), 3u);
    BSTR first = platform::AllocString(OLESTR("one"));
    void* second = platform::TaskAlloc(16);
    EXPECT_EQ(seam::Pending(), 1u);
    BSTR third = platform::AllocStringLen(nullptr, 4);
    BSTR fourth = platform::AllocString(OLESTR("four"));
    EXPECT_NE(first, nullptr);
    EXPECT_NE(second, nullptr);
    EXPECT_EQ(third, nullptr);
    EXPECT_NE(fourth, nullptr);
    EXPECT_EQ(seam::Pending(), 0u);
    platform::FreeString(first);
    platform::FreeString(fourth);
    platform::TaskFree(second);
}

TEST_F(AllocationSeam, EveryKindOfAllocationCanBeTheFailingOne) {
    BSTR left = platform::AllocString(OLESTR("ERR "));
    ASSERT_NE(left, nullptr);
    void* block = platform::TaskAlloc(8);
    ASSERT_NE(block, nullptr);
    const long before = seam::LiveStrings();

    seam::FailNth(1);
    BSTR joined = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(platform::ConcatStrings(left, left, &joined), E_OUTOFMEMORY);
    EXPECT_EQ(seam::LiveStrings(), before);
    seam::FailNth(1);
    EXPECT_EQ(platform::TaskRealloc(block, 4096), nullptr);
    std::memset(block, 0, 8);  // a failed reallocation leaves the block as it was
    seam::FailNth(1);
    EXPECT_EQ(platform::TaskAlloc(1), nullptr);
    seam::FailNth(1);
    EXPECT_EQ(platform::AllocString(OLESTR("x")), nullptr);
    EXPECT_EQ(seam::LiveStrings(), before);

    platform::TaskFree(block);
    platform::FreeString(left);
}

TEST_F(AllocationSeam, DisarmedSeamFailsNothing) {
    seam::FailNth(2);
    seam::FailNth(0);
    EXPECT_EQ(seam::Pending(), 0u);
    for (int i = 0; i < 4; ++i) {
        BSTR text = platform::AllocString(OLESTR("x"));
        EXPECT_NE(text, nullptr);
        platform::FreeString(text);
    }
}

TEST_F(AllocationSeam, LiveStringsCountsMadeAndFreedStrings) {
    const long before = seam::LiveStrings();
    BSTR a = platform::AllocString(OLESTR("a"));
    BSTR b = platform::AllocStringLen(OLESTR("bc"), 2);
    BSTR joined = nullptr;
    ASSERT_EQ(platform::ConcatStrings(a, b, &joined), S_OK);
    EXPECT_EQ(seam::LiveStrings(), before + 3);
    EXPECT_EQ(SysStringLen(joined), 3u);
    platform::FreeString(nullptr);  // freeing nothing changes nothing
    EXPECT_EQ(seam::LiveStrings(), before + 3);
    EXPECT_EQ(platform::AllocString(nullptr), nullptr);  // no text, no string
    EXPECT_EQ(seam::LiveStrings(), before + 3);
    platform::FreeString(a);
    platform::FreeString(b);
    platform::FreeString(joined);
    EXPECT_EQ(seam::LiveStrings(), before);
}

}  // namespace
