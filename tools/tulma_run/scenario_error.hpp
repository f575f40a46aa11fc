#pragma once

#include <stdexcept>
#include <string>

namespace tulma::run {

// A scenario that cannot be run: the one-line message names the file, the
// line or key, and what was expected. Nothing has been started when it is
// thrown.
class ScenarioError : public std::runtime_error {
 public:
    explicit ScenarioError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tulma::run
