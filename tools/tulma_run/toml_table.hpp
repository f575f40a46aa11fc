#pragma once

// One table of a TOML file being read: every key it holds must be one it may
// hold, a required key must be there, and every value must be of the type and
// range expected. The first problem ends the reading with a one-line message
// naming the file, the line, the key's full path, what was expected and what
// was found.

#include <toml++/toml.h>

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "tulma_run/calendar_dates.hpp"

namespace tulma::run {

// The line a TOML value starts on.
int line_of(const toml::node& node);

// A value as a user would recognise it in a message.
std::string describe(const toml::node& node);

enum class Bound { any, non_negative, positive };

class TableReader {
 public:
    // Refuses at once a key not in `keys`: a misspelt key is named as such
    // rather than reported as a missing one. `path` is the table's key path
    // ("reach[2].section[1]"); `display` names the file.
    TableReader(std::string display, const toml::table& table, std::string path,
                std::initializer_list<std::string_view> keys);

    const std::string& path() const { return path_; }
    int line() const { return line_of(table_); }
    std::string key_path(std::string_view key) const;

    [[noreturn]] void fail(const toml::node& node, std::string_view key,
                           std::string_view expected) const;
    [[noreturn]] void fail_line(int line, std::string_view key, const std::string& message) const;

    const toml::node* find(std::string_view key) const { return table_.get(key); }
    const toml::node& require(std::string_view key, std::string_view expected) const;

    double real(std::string_view key, Bound bound) const;
    std::optional<double> optional_real(std::string_view key, Bound bound) const;
    double real_of(const toml::node& node, std::string_view key, Bound bound) const;
    std::int32_t integer_of(const toml::node& node, std::string_view key, std::int64_t low,
                            std::int64_t high, std::string_view expected) const;
    // A text that is not empty.
    std::string text_of(const toml::node& node, std::string_view key,
                        std::string_view expected) const;
    std::optional<std::string> optional_text(std::string_view key, std::string_view expected) const;
    bool optional_bool(std::string_view key, bool fallback) const;
    const toml::table& table_of(const toml::node& node, std::string_view key,
                                std::string_view expected) const;
    // A Gregorian date, as text or a TOML date; with `allow_time` also with a
    // time of day to the minute.
    DateTime date_time(std::string_view key, bool allow_time) const;
    // An existing file, named relative to `folder`; empty when the key is
    // optional and not there.
    std::filesystem::path existing_file(std::string_view key, const std::filesystem::path& folder,
                                        bool required) const;

 private:
    std::string display_;
    const toml::table& table_;
    std::string path_;
};

}  // namespace tulma::run
