#include "util/large_page_allocator.hpp"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tulma {
namespace {

// The size of a large page, and the smallest block worth one.
constexpr std::size_t kLargePage = std::size_t{2} << 20;

bool large(std::size_t bytes) {
#if defined(__linux__)
    return bytes >= kLargePage;
#else
    (void)bytes;
    return false;
#endif
}

}  // namespace

void* allocate_large(std::size_t bytes) {
    if (!large(bytes)) return ::operator new(bytes);
    void* block = ::operator new(bytes, std::align_val_t{kLargePage});
#if defined(__linux__)
    // Only advice: a kernel without transparent huge pages leaves the block as it is.
    madvise(block, bytes, MADV_HUGEPAGE);
#endif
    return block;
}

void release_large(void* block, std::size_t bytes) noexcept {
    if (!large(bytes)) {
        ::operator delete(block);
        return;
    }
    ::operator delete(block, std::align_val_t{kLargePage});
}

}  // namespace tulma
