#pragma once

#include <cstddef>
#include <new>

namespace tulma {

// Allocation for the one array that grows with the whole model, the plant
// store. A step walks the whole store once; at a gigabyte, the processor spends
// as long finding the store's 4 KB pages as it does computing, so on Linux a
// large block is asked to be backed by 2 MB pages before it is first touched.
// Elsewhere, or where the system declines, it is ordinary memory.
void* allocate_large(std::size_t bytes);
void release_large(void* block, std::size_t bytes) noexcept;

template <class T>
struct LargePageAllocator {
    using value_type = T;

    LargePageAllocator() = default;
    template <class U>
    LargePageAllocator(const LargePageAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        return static_cast<T*>(allocate_large(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { release_large(p, n * sizeof(T)); }

    template <class U>
    bool operator==(const LargePageAllocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace tulma
