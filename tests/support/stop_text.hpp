#pragma once

#include <string>

#include "util/fatal_error.hpp"

namespace tulma::testing {

// What a stop would print, or "(no stop)" when the action runs through: the
// tests compare the whole console text, so a changed message fails as surely
// as a missing stop.
template <typename Action>
std::string stop_text(Action&& action) {
    try {
        action();
    } catch (const FatalError& error) {
        return error.console_text();
    }
    return "(no stop)";
}

}  // namespace tulma::testing
