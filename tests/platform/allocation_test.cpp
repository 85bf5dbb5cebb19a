// The allocation seam: an armed failure hits exactly the chosen allocation, of
// whatever kind, and the live-string count follows every string made and freed.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "platform/allocation.h"
#include "platform/owned_string.h"
#include "platform/task_memory.h"

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

// Every road by which an owned string leaves its holder gives it back to the
// seam exactly once; detaching hands it over uncounted-for until freed.
TEST_F(AllocationSeam, OwnedStringsGoBackThroughTheSeamOnEveryRoad) {
    struct Road {
        const char* name;
        void (*leave)(platform::OwnedString& holder, platform::OwnedString& other);
        long stillLive;  // strings of the case alive after the road, other included
    };
    const Road roads[] = {
        {"reset", [](platform::OwnedString& holder, platform::OwnedString&) { holder.Reset(); }, 1},
        {"receive", [](platform::OwnedString& holder, platform::OwnedString&) { (void)holder.Receive(); }, 1},
        {"attach another",
         [](platform::OwnedString& holder, platform::OwnedString& other) { holder.Attach(other.Detach()); }, 1},
        {"moved over", [](platform::OwnedString& holder, platform::OwnedString& other) { holder = std::move(other); },
         1},
        {"moved out", [](platform::OwnedString& holder, platform::OwnedString&) {
             platform::OwnedString gone(std::move(holder));
         }, 1},
        {"detach", [](platform::OwnedString& holder, platform::OwnedString&) {
             platform::FreeString(holder.Detach());
         }, 1},
        {"self move", [](platform::OwnedString& holder, platform::OwnedString&) {
             platform::OwnedString& same = holder;
             holder = std::move(same);
         }, 2},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        const long before = seam::LiveStrings();
        {
            platform::OwnedString holder(platform::AllocString(OLESTR("held")));
            platform::OwnedString other(platform::AllocStringLen(OLESTR("x\0y"), 3));
            ASSERT_TRUE(holder);
            ASSERT_TRUE(other);
            road.leave(holder, other);
            EXPECT_EQ(seam::LiveStrings(), before + road.stillLive);
        }
        EXPECT_EQ(seam::LiveStrings(), before);
    }
    platform::OwnedString counted(platform::AllocStringLen(OLESTR("x\0y"), 3));
    EXPECT_EQ(counted.Length(), 3u);
    EXPECT_EQ(counted.Text(), std::basic_string<OLECHAR>(OLESTR("x\0y"), 3));
    EXPECT_EQ(platform::OwnedString().Length(), 0u);
}

// Task memory comes through the seam: an armed failure or a size that can't
// be counted gives an empty holder, never a short block.
TEST_F(AllocationSeam, TaskMemoryIsAllocatedThroughTheSeam) {
    platform::TaskMemory<int> block = platform::TaskMemory<int>::Allocate(4);
    ASSERT_TRUE(block);
    block.Get()[3] = 7;  // all four elements are there
    seam::FailNth(1);
    EXPECT_FALSE(platform::TaskMemory<int>::Allocate(4));
    EXPECT_EQ(seam::Pending(), 0u);
    seam::FailNth(2);  // an uncountable size is refused before it reaches the allocator
    EXPECT_FALSE(platform::TaskMemory<int>::Allocate(static_cast<SIZE_T>(-1) / sizeof(int) + 1));
    EXPECT_EQ(seam::Pending(), 2u);
    int* const raw = block.Get();
    EXPECT_EQ(block.Detach(), raw);
    EXPECT_FALSE(block);
    platform::TaskFree(raw);
}

}  // namespace
