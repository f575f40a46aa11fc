#include "util/large_page_allocator.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "model/plant_store.hpp"

namespace tulma {
namespace {

TEST(LargePageAllocator, LargeBlocksStartOnALargePageAndEveryBlockIsReleasedAsItWasMade) {
    // Blocks below 2 MB are ordinary; from 2 MB on (Linux) they start on a
    // 2 MB boundary so that whole large pages can back them. The sanitizer
    // build catches a block released with the other kind of delete.
    struct Row {
        std::size_t count;  // doubles
        bool aligned;
    };
#if defined(__linux__)
    const bool linux_system = true;
#else
    const bool linux_system = false;
#endif
    const Row rows[] = {
        {1, false}, {262143, false}, {262144, linux_system}, {1000000, linux_system}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.count);
        std::vector<double, LargePageAllocator<double>> block(r.count, 1.5);
        ASSERT_EQ(block.size(), r.count);
        EXPECT_EQ(block.front(), 1.5);
        EXPECT_EQ(block.back(), 1.5);
        if (r.aligned) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.data()) % (std::uintptr_t{2} << 20),
                      0u);
        }
    }
}

TEST(LargePageAllocator, PlantStoreRecordsStartCleared) {
    // 200 points x 100 cross sections x 2 kinds is 3.8 MB: a large block.
    PlantStore store(200, 100, 2);
    EXPECT_EQ(store.size_bytes(), 200u * 100u * 2u * sizeof(VegPoint));
    EXPECT_EQ(store.at(200, 100, 2).dth_id, 0);
    EXPECT_EQ(store.at(1, 1, 1).age, 0.0);
    store.at(200, 100, 2).age = 3.0;
    PlantStore moved = std::move(store);
    EXPECT_EQ(moved.at(200, 100, 2).age, 3.0);
}

}  // namespace
}  // namespace tulma
