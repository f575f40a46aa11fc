// The free-form value reader and the item count on one line of text. The first
// two bytes choose the variables (two bits each: integer, real, logical,
// text); the rest is the line. Neither part may crash, and the reader must keep
// its promises: a text variable always has its declared length, and once the
// status is non-zero no later variable changes.

#include <cstdint>
#include <cstring>
#include <string>
#include <variant>
#include <vector>

#include "fuzz_support.hpp"
#include "input/record_reader.hpp"
#include "input/value_reader.hpp"

namespace {

using tulma::FixedText;
using tulma::ValueReader;

constexpr std::int32_t kIntSentinel = -123456789;
constexpr double kRealSentinel = -9.87654321e-123;
constexpr std::size_t kTextLength = 30;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const unsigned layout = static_cast<unsigned>(data[0]) | static_cast<unsigned>(data[1]) << 8;
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);

    ValueReader reader(text);
    for (int v = 0; v < 8; ++v) {
        const int before = reader.status();
        switch ((layout >> (2 * v)) & 3u) {
            case 0: {
                std::int32_t value = kIntSentinel;
                reader.read(value);
                if (before != 0 && value != kIntSentinel)
                    tulma::fuzz::fault("integer changed after a failed read");
                break;
            }
            case 1: {
                double value = kRealSentinel;
                reader.read(value);
                if (before != 0 && std::memcmp(&value, &kRealSentinel, sizeof value) != 0) {
                    tulma::fuzz::fault("real changed after a failed read");
                }
                if (value != value) tulma::fuzz::fault("a real read as NaN");
                break;
            }
            case 2: {
                bool value = true;
                reader.read(value);
                if (before != 0 && !value)
                    tulma::fuzz::fault("logical changed after a failed read");
                break;
            }
            default: {
                std::string value(kTextLength, '#');
                reader.read(FixedText{value, kTextLength});
                if (value.size() != kTextLength)
                    tulma::fuzz::fault("text not at its declared length");
                if (before != 0 && value != std::string(kTextLength, '#')) {
                    tulma::fuzz::fault("text changed after a failed read");
                }
                break;
            }
        }
        if (before != 0 && reader.status() != before)
            tulma::fuzz::fault("status changed after a failure");
    }

    // The item count sees the same text as a record line ("#" stops the run).
    try {
        const std::int32_t n = tulma::count_items(text);
        if (n < 0 || n > static_cast<std::int32_t>(tulma::kExaminedLength)) {
            tulma::fuzz::fault("item count outside the examined columns");
        }
    } catch (const tulma::FatalError&) {
    }
    return 0;
}
