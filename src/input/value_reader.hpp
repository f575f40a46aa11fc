#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tulma {

// A character variable of declared length: a value read into it is cut to the
// length or padded with blanks up to it.
struct FixedText {
    std::string& value;
    std::size_t length;
};

// Takes the values of one line of a parameter file, free-form, into the
// record's variables in order. Values are separated by blanks or TABs, or by a
// comma with optional blanks around it. A comma with no value before it is a
// null value and a slash ends the values of the line; both leave the variables
// they reach unchanged and count as served. Nothing carries over to the next
// line: a reader sees only the text it was given, which must outlive it.
class ValueReader {
 public:
    // status() after the line ran out before a variable was served.
    static constexpr int kRanOut = -1;
    // status() after a value that does not convert to its variable's type.
    static constexpr int kNotConverted = 1;

    explicit ValueReader(std::string_view text) : text_(text) {}

    // Each read serves the next variable. Once the status is non-zero, reads
    // leave their variables as they are.
    ValueReader& read(std::int32_t& v);
    ValueReader& read(double& v);
    ValueReader& read(bool& v);  // logical: T or F after an optional period
    ValueReader& read(FixedText v);

    // 0 while every variable so far was served.
    int status() const { return status_; }

 private:
    // Serves v with the value at the read position, as `convert` makes it.
    template <class T, class Convert>
    ValueReader& read_converted(T& v, Convert convert);
    // True when a value starts at the read position; false when the variable
    // is served without one (null value, slash) or cannot be served.
    bool value_follows();
    // The unquoted value at the read position, and the separator after it.
    std::string_view take_token();
    void skip_separator();

    std::string_view text_;
    std::size_t pos_ = 0;
    bool ended_ = false;  // a slash ended the values of the line
    int status_ = 0;
};

}  // namespace tulma
