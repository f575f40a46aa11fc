#include "input/value_reader.hpp"

#include <charconv>
#include <optional>
#include <system_error>
#include <utility>

namespace tulma {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

bool ends_token(char c) { return is_blank(c) || c == ',' || c == '/'; }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// An optional sign and decimal digits, in the 32-bit range.
std::optional<std::int32_t> to_int32(std::string_view token) {
    std::size_t first_digit = 0;
    if (!token.empty() && (token[0] == '+' || token[0] == '-')) first_digit = 1;
    if (first_digit == token.size()) return std::nullopt;
    for (std::size_t i = first_digit; i < token.size(); ++i) {
        if (!is_digit(token[i])) return std::nullopt;
    }
    // The conversion takes a minus sign but not a plus sign.
    const std::string_view body = token[0] == '+' ? token.substr(1) : token;
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), value);
    if (ec != std::errc{} || end != body.data() + body.size()) return std::nullopt;
    return value;
}

// An optional sign, digits with an optional decimal point, an optional
// exponent written with E or D; rounded to the nearest double.
std::optional<double> to_real(std::string_view token) {
    std::size_t i = 0;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';

    // The number handed to the conversion: no plus sign in front, "e" as the
    // exponent letter.
    std::string clean;
    if (negative) clean += '-';
    // Decimal exponent of the first significant digit, so that a number the
    // conversion cannot represent is known to be huge or tiny.
    std::int64_t lead = 0;
    bool significant = false;
    bool point = false;
    std::size_t digits = 0;
    for (; i < token.size(); ++i) {
        const char c = token[i];
        if (is_digit(c)) {
            ++digits;
            if (c != '0') significant = true;
            if (!point && significant) ++lead;
            if (point && !significant) --lead;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
        clean += c;
    }
    if (digits == 0) return std::nullopt;

    std::int64_t exponent = 0;
    if (i < token.size()) {
        const char letter = token[i++];
        if (letter != 'E' && letter != 'e' && letter != 'D' && letter != 'd') return std::nullopt;
        clean += 'e';
        bool exponent_negative = false;
        if (i < token.size() && (token[i] == '+' || token[i] == '-')) {
            exponent_negative = token[i] == '-';
            clean += token[i++];
        }
        std::size_t exponent_digits = 0;
        for (; i < token.size() && is_digit(token[i]); ++i, ++exponent_digits) {
            clean += token[i];
            // Far beyond any double either way; the cap keeps the sum finite.
            if (exponent < 100000) exponent = exponent * 10 + (token[i] - '0');
        }
        if (exponent_digits == 0 || i != token.size()) return std::nullopt;
        if (exponent_negative) exponent = -exponent;
    }

    double value = 0.0;
    const char* const last = clean.data() + clean.size();
    const auto [end, ec] = std::from_chars(clean.data(), last, value);
    if (ec == std::errc::result_out_of_range) {
        // A number that rounds past the largest double does not convert; one
        // below half the smallest subnormal rounds to zero, keeping its sign.
        if (lead + exponent > 0) return std::nullopt;
        return negative ? -0.0 : 0.0;
    }
    if (ec != std::errc{} || end != last) return std::nullopt;
    return value;
}

// A period is optional in front; only the letter after it counts, whatever
// follows ("true", ".F.", "Tuesday").
std::optional<bool> to_logical(std::string_view token) {
    const std::size_t letter = !token.empty() && token[0] == '.' ? 1 : 0;
    if (letter >= token.size()) return std::nullopt;
    switch (token[letter]) {
        case 'T':
        case 't':
            return true;
        case 'F':
        case 'f':
            return false;
        default:
            return std::nullopt;
    }
}

}  // namespace

bool ValueReader::value_follows() {
    if (status_ != 0 || ended_) return false;
    while (pos_ < text_.size() && is_blank(text_[pos_])) ++pos_;
    if (pos_ == text_.size()) {
        status_ = kRanOut;
        return false;
    }
    // A comma after a value is taken with that value, so a comma met here has
    // no value before it: a null value.
    if (text_[pos_] == ',') {
        ++pos_;
        return false;
    }
    if (text_[pos_] == '/') {
        ended_ = true;
        return false;
    }
    return true;
}

std::string_view ValueReader::take_token() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && !ends_token(text_[pos_])) ++pos_;
    const std::string_view token = text_.substr(start, pos_ - start);
    skip_separator();
    return token;
}

void ValueReader::skip_separator() {
    while (pos_ < text_.size() && is_blank(text_[pos_])) ++pos_;
    if (pos_ < text_.size() && text_[pos_] == ',') ++pos_;
}

template <class T, class Convert>
ValueReader& ValueReader::read_converted(T& v, Convert convert) {
    if (!value_follows()) return *this;
    if (const std::optional<T> value = convert(take_token())) {
        v = *value;
    } else {
        status_ = kNotConverted;
    }
    return *this;
}

ValueReader& ValueReader::read(std::int32_t& v) { return read_converted(v, to_int32); }
ValueReader& ValueReader::read(double& v) { return read_converted(v, to_real); }
ValueReader& ValueReader::read(bool& v) { return read_converted(v, to_logical); }

ValueReader& ValueReader::read(FixedText v) {
    if (!value_follows()) return *this;
    std::string value;
    const char quote = text_[pos_];
    if (quote == '"' || quote == '\'') {
        // A quoted value may hold blanks, commas and slashes; two quotes in a
        // row stand for one.
        ++pos_;
        for (;;) {
            if (pos_ == text_.size()) {
                status_ = kNotConverted;  // the quote is left open on the line
                return *this;
            }
            const char c = text_[pos_++];
            if (c == quote) {
                if (pos_ < text_.size() && text_[pos_] == quote) {
                    ++pos_;
                } else {
                    break;
                }
            }
            value += c;
        }
        if (pos_ < text_.size() && !ends_token(text_[pos_])) {
            status_ = kNotConverted;  // text right after the closing quote
            return *this;
        }
        skip_separator();
    } else {
        value = take_token();
    }
    value.resize(v.length, ' ');
    v.value = std::move(value);
    return *this;
}

}  // namespace tulma
