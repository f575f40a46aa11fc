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
#if defined(__linux__)
    const bool linux_system = true;
#else
    const bool linux_system = false;
#endif
    for (const std::size_t count :
         {std::size_t{1}, std::size_t{262143}, std::size_t{262144}, std::size_t{1000000}}) {
        SCOPED_TRACE(count);  // doubles
        std::vector<double, LargePageAllocator<double>> block(count, 1.5);
        ASSERT_EQ(block.size(), count);
        EXPECT_EQ(block.front() + block.back(), 3.0);
        const auto start = reinterpret_cast<std::uintptr_t>(block.data());
        EXPECT_TRUE(count < 262144 || !linux_system || start % (std::uintptr_t{2} << 20) == 0);
    }
    // 200 points x 100 cross sections x 2 kinds is 3.8 MB: a large block, cleared.
    PlantStore store(200, 100, 2);
    EXPECT_EQ(store.size_bytes(), 200u * 100u * 2u * sizeof(VegPoint));
    EXPECT_EQ(store.at(200, 100, 2).dth_id, 0);
    EXPECT_EQ(store.at(1, 1, 1).age, 0.0);
    store.at(200, 100, 2).age = 3.0;
    EXPECT_EQ(PlantStore(std::move(store)).at(200, 100, 2).age, 3.0);
}

}  // namespace
}  // namespace tulma
