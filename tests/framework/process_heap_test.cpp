// The process-heap functions: zeroed blocks, null for requests that cannot be met, and null
// blocks ignored on free.
#include "framework/ProcessHeap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

TEST(ProcessHeap, ZeroedBlocksAndOverflowingRequests) {
    auto* block = static_cast<unsigned char*>(ProcessHeapAllocZero(16, 4));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(block[i], 0) << i;
    ProcessHeapFree(block);

    void* plain = ProcessHeapAlloc(10);
    EXPECT_NE(plain, nullptr);
    ProcessHeapFree(plain);
    ProcessHeapFree(nullptr);

    // count * size does not fit: nothing is allocated rather than a block too small.
    const std::size_t huge = std::numeric_limits<std::size_t>::max() / 2 + 1;
    EXPECT_EQ(ProcessHeapAllocZero(huge, 2), nullptr);
}

}  // namespace
