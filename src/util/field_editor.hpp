#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tulma {

// Builds one line of a report or of the parameter echo, field by field, with the
// fixed-width field editing every report shares. Numbers are rounded from their
// exact binary value, ties to even, so a value prints the same on every platform.
//
// The builder is meant to be kept and reused: clear() keeps the buffer, so once it
// has grown to the longest line no field allocates.
class LineBuilder {
 public:
    // Width of the general field.
    static constexpr int general_width = 13;

    // All characters of s, trailing blanks included.
    void text(std::string_view s);
    // s right-aligned in width characters, blank-padded on the left; a longer text
    // keeps its leftmost width characters.
    void text(std::string_view s, int width);
    // count blanks.
    void blanks(int count);
    // v right-aligned in width characters, with '-' when negative; a value too wide
    // for the field gives width asterisks.
    void integer(std::int64_t v, int width);
    // v rounded to decimals places, right-aligned in width characters. The "0"
    // before the decimal point is written only when there is room for it; the
    // minus sign follows the sign bit, so a negative value that rounds to zero
    // keeps it ("-0.00"). With no decimals the point is still written ("12.").
    // A value too wide gives width asterisks. A negative decimals count is taken
    // as 0.
    //
    // A value that is not a number gives "NaN", an infinite one "Infinity" or
    // "-Infinity", right-aligned; when the field is too narrow for that,
    // "Inf"/"-Inf", and asterisks when even that does not fit.
    void fixed(double v, int width, int decimals);
    // Six blanks, then T or F.
    void logical(bool v);
    // The 13-character general field: 6 significant digits, as a fixed field of 9
    // characters and 4 blanks for magnitudes from 0.1 to below 1000000 after
    // rounding, otherwise as " 0.ddddddE+dd" (no letter E when the exponent needs
    // three digits: " 0.494066-323"). Zero of either sign is "  0.00000    ".
    // NaN and the infinities are written as in the fixed field of width 13.
    void general(double v);

    std::string_view view() const { return buf_; }
    void clear() { buf_.clear(); }

 private:
    // NaN or an infinity in a field of width characters.
    void not_finite(double v, int width);
    void asterisks(int width);

    std::string buf_;
};

}  // namespace tulma
