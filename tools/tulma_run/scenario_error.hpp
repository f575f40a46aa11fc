#pragma once

#include <charconv>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tulma::run {

// A scenario that cannot be run: the one-line message names the file, the
// line or key, and what was expected. Nothing has been started when it is
// thrown.
class ScenarioError : public std::runtime_error {
 public:
    explicit ScenarioError(const std::string& message) : std::runtime_error(message) {}
};

// "FILE:LINE: " for messages.
inline std::string where(const std::string& display, int line) {
    return display + ":" + std::to_string(line) + ": ";
}

// A value as the user typed it, between double quotes.
inline std::string in_quotes(std::string_view text) {
    std::string quoted_text(1, '"');
    quoted_text.append(text);
    quoted_text.push_back('"');
    return quoted_text;
}

// The shortest text that reads back as the same number: a station the user
// wrote as 12.5 is named 12.5 again.
inline std::string number_text(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

}  // namespace tulma::run
