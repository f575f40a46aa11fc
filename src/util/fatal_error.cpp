#include "util/fatal_error.hpp"

namespace tulma {

void log_error(std::string_view name, std::string_view message) {
    std::string text;
    text.reserve(name.size() + message.size() + 14);
    text.append("ERROR in: ").append(name).append(": ").append(message).push_back('\n');
    throw FatalError(std::move(text));
}

}  // namespace tulma
