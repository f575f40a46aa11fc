#include "util/number_text.hpp"

#include <charconv>

namespace tulma {

std::string plain(std::int32_t v) { return std::to_string(v); }

std::string plain(double v) {
    char buf[32];
    const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
    return {buf, end};
}

}  // namespace tulma
