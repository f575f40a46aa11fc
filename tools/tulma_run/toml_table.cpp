#include "tulma_run/toml_table.hpp"

#include <algorithm>
#include <cmath>

#include "tulma_run/scenario_error.hpp"

namespace tulma::run {
namespace fs = std::filesystem;

namespace {

const char* bound_text(Bound bound) {
    switch (bound) {
        case Bound::non_negative:
            return "a number, at least 0";
        case Bound::positive:
            return "a number above 0";
        case Bound::any:
            break;
    }
    return "a number";
}

}  // namespace

int line_of(const toml::node& node) { return static_cast<int>(node.source().begin.line); }

std::string describe(const toml::node& node) {
    if (const auto* s = node.as_string()) return in_quotes(s->get());
    if (const auto* i = node.as_integer()) return std::to_string(i->get());
    if (const auto* f = node.as_floating_point()) return number_text(f->get());
    if (const auto* b = node.as_boolean()) return b->get() ? "true" : "false";
    if (const auto* d = node.as_date()) {
        return format_date({d->get().year, d->get().month, d->get().day});
    }
    if (node.is_date_time()) return "a date and time";
    if (node.is_time()) return "a time of day";
    if (const auto* a = node.as_array()) {
        std::string text = "[";
        for (std::size_t i = 0; i < a->size(); ++i) {
            if (i > 0) text += ", ";
            const toml::node& item = *a->get(i);
            text += item.is_array() || item.is_table() ? (item.is_array() ? "[...]" : "{...}")
                                                       : describe(item);
        }
        return text + "]";
    }
    return "a table";
}

TableReader::TableReader(std::string display, const toml::table& table, std::string path,
                         std::initializer_list<std::string_view> keys)
    : display_(std::move(display)), table_(table), path_(std::move(path)) {
    for (const auto& [key, node] : table_) {
        if (std::find(keys.begin(), keys.end(), key.str()) != keys.end()) continue;
        std::string known;
        for (std::string_view k : keys) known += (known.empty() ? "" : ", ") + std::string(k);
        fail_line(static_cast<int>(key.source().begin.line), key.str(),
                  "unknown key; expected one of " + known);
    }
}

std::string TableReader::key_path(std::string_view key) const {
    return path_.empty() ? std::string(key) : path_ + "." + std::string(key);
}

void TableReader::fail(const toml::node& node, std::string_view key,
                       std::string_view expected) const {
    fail_line(line_of(node), key,
              "expected " + std::string(expected) + ", found " + describe(node));
}

void TableReader::fail_line(int line, std::string_view key, const std::string& message) const {
    throw ScenarioError(where(display_, line) + key_path(key) + ": " + message);
}

const toml::node& TableReader::require(std::string_view key, std::string_view expected) const {
    const toml::node* node = find(key);
    if (node == nullptr) fail_line(line(), key, "missing; expected " + std::string(expected));
    return *node;
}

double TableReader::real(std::string_view key, Bound bound) const {
    return real_of(require(key, bound_text(bound)), key, bound);
}

std::optional<double> TableReader::optional_real(std::string_view key, Bound bound) const {
    const toml::node* node = find(key);
    if (node == nullptr) return std::nullopt;
    return real_of(*node, key, bound);
}

double TableReader::real_of(const toml::node& node, std::string_view key, Bound bound) const {
    const std::optional<double> value = node.is_number() ? node.value<double>() : std::nullopt;
    if (!value || !std::isfinite(*value) || (bound == Bound::non_negative && *value < 0.0) ||
        (bound == Bound::positive && *value <= 0.0)) {
        fail(node, key, bound_text(bound));
    }
    return *value;
}

std::int32_t TableReader::integer_of(const toml::node& node, std::string_view key, std::int64_t low,
                                     std::int64_t high, std::string_view expected) const {
    const auto* i = node.as_integer();
    if (i == nullptr || i->get() < low || i->get() > high) fail(node, key, expected);
    return static_cast<std::int32_t>(i->get());
}

std::string TableReader::text_of(const toml::node& node, std::string_view key,
                                 std::string_view expected) const {
    const auto* s = node.as_string();
    if (s == nullptr || s->get().empty()) fail(node, key, expected);
    return s->get();
}

std::optional<std::string> TableReader::optional_text(std::string_view key,
                                                      std::string_view expected) const {
    const toml::node* node = find(key);
    if (node == nullptr) return std::nullopt;
    return text_of(*node, key, expected);
}

bool TableReader::optional_bool(std::string_view key, bool fallback) const {
    const toml::node* node = find(key);
    if (node == nullptr) return fallback;
    const auto* b = node->as_boolean();
    if (b == nullptr) fail(*node, key, "true or false");
    return b->get();
}

const toml::table& TableReader::table_of(const toml::node& node, std::string_view key,
                                         std::string_view expected) const {
    const auto* t = node.as_table();
    if (t == nullptr) fail(node, key, expected);
    return *t;
}

DateTime TableReader::date_time(std::string_view key, bool allow_time) const {
    const char* expected =
        allow_time
            ? "a date \"YYYY-MM-DD\" or \"YYYY-MM-DD HH:MM[:SS]\" from 1582-10-15 to 9999-12-31"
            : "a date \"YYYY-MM-DD\" from 1582-10-15 to 9999-12-31";
    const toml::node& node = require(key, expected);
    std::optional<DateTime> when;
    if (const auto* s = node.as_string()) {
        when = parse_date_time(s->get(), allow_time);
    } else if (const auto* d = node.as_date()) {
        DateTime w{{d->get().year, d->get().month, d->get().day}, 0, 0};
        if (is_valid_date(w.date)) when = w;
    } else if (const auto* dt = node.as_date_time();
               dt != nullptr && allow_time && !dt->get().offset) {
        const toml::date_time& v = dt->get();
        DateTime w{
            {v.date.year, v.date.month, v.date.day}, v.time.hour, v.time.minute, v.time.second};
        if (is_valid_date(w.date) && v.time.nanosecond == 0) when = w;
    }
    if (!when) fail(node, key, expected);
    return *when;
}

fs::path TableReader::existing_file(std::string_view key, const fs::path& folder,
                                    bool required) const {
    const toml::node* node = required ? &require(key, "a file name") : find(key);
    if (node == nullptr) return {};
    const std::string name = text_of(*node, key, "a file name");
    const fs::path file = (folder / name).lexically_normal();
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
        fail_line(line_of(*node), key,
                  "expected an existing file, found " + in_quotes(name) + " (no file " +
                      file.string() + ")");
    }
    return file;
}

}  // namespace tulma::run
