#pragma once

#include <new>
#include <stdexcept>
#include <string_view>

#include "util/fatal_error.hpp"

namespace tulma {

// What a stop says when the memory for a run's arrays cannot be had.
inline constexpr std::string_view kNoMemory = "could not allocate memory";

// Runs `make`, which sizes some arrays, and tells whether it got the memory:
// a refused allocation and a size past what a container can hold both count
// as no memory.
template <class Make>
bool try_allocate(Make&& make) {
    try {
        make();
        return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return false;
}

// Runs `make`; without the memory the run stops, from `routine`, with `message`.
template <class Make>
void allocate_or_stop(std::string_view routine, Make&& make, std::string_view message = kNoMemory) {
    if (!try_allocate(make)) log_error(routine, message);
}

}  // namespace tulma
