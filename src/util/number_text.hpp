#pragma once

#include <cstdint>
#include <string>

namespace tulma {

// Numbers as the messages show them: an integer in its decimal digits, a real
// in the fewest digits that read back to the same double.
std::string plain(std::int32_t v);
std::string plain(double v);

}  // namespace tulma
