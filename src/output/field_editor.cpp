#include "output/field_editor.hpp"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace tulma {

namespace {

constexpr std::size_t to_size(int n) { return static_cast<std::size_t>(n); }

}  // namespace

void LineBuilder::text(std::string_view s) { buf_.append(s); }

void LineBuilder::text(std::string_view s, int width) {
    if (width <= 0) return;
    const std::size_t w = to_size(width);
    if (s.size() >= w) {
        buf_.append(s.substr(0, w));
    } else {
        buf_.append(w - s.size(), ' ');
        buf_.append(s);
    }
}

void LineBuilder::blanks(int count) {
    if (count > 0) buf_.append(to_size(count), ' ');
}

void LineBuilder::asterisks(int width) { buf_.append(to_size(width), '*'); }

void LineBuilder::integer(std::int64_t v, int width) {
    if (width <= 0) return;
    char digits[std::numeric_limits<std::int64_t>::digits10 + 3];
    const auto result = std::to_chars(digits, digits + sizeof digits, v);
    const auto length = static_cast<std::size_t>(result.ptr - digits);
    if (length > to_size(width)) {
        asterisks(width);
        return;
    }
    buf_.append(to_size(width) - length, ' ');
    buf_.append(digits, length);
}

void LineBuilder::not_finite(double v, int width) {
    // As a Fortran run-time library writes them: the long word when it fits, then
    // the short one, then asterisks.
    std::string_view word;
    if (std::isnan(v)) {
        word = "NaN";
    } else if (v > 0) {
        word = width >= 8 ? "Infinity" : "Inf";
    } else {
        word = width >= 9 ? "-Infinity" : "-Inf";
    }
    if (word.size() > to_size(width)) {
        asterisks(width);
    } else {
        text(word, width);
    }
}

void LineBuilder::fixed(double v, int width, int decimals) {
    if (width <= 0) return;
    if (!std::isfinite(v)) {
        not_finite(v, width);
        return;
    }
    if (decimals < 0) decimals = 0;
    const bool negative = std::signbit(v);

    // The magnitude is edited in place at the end of the line. A field of width w
    // holds at most w characters of it, or w + 1 when its leading "0" is dropped,
    // so a magnitude that needs more room than that cannot fit anyway.
    const std::size_t start = buf_.size();
    const std::size_t w = to_size(width);
    buf_.resize(start + w + 1);
    char* const first = buf_.data() + start;
    char* const last = first + w + 1;
    auto [end, error] =
        std::to_chars(first, last, std::fabs(v), std::chars_format::fixed, decimals);
    bool fits = error == std::errc{};
    if (fits && decimals == 0) {
        // Whole numbers still carry their decimal point ("123457.").
        if (end == last) {
            fits = false;
        } else {
            *end++ = '.';
        }
    }
    char* digits = first;
    std::size_t length = static_cast<std::size_t>(end - first);
    const std::size_t sign_length = negative ? 1 : 0;
    // Only a magnitude below 1 starts with "0"; that zero gives way to the sign
    // or to the digits after the point when the field is narrow (".50").
    if (fits && length + sign_length > w && *digits == '0') {
        ++digits;
        --length;
    }
    if (!fits || length + sign_length > w) {
        buf_.resize(start);
        asterisks(width);
        return;
    }
    char* const magnitude = first + (w - length);
    std::memmove(magnitude, digits, length);
    std::memset(first, ' ', w - length);
    if (negative) magnitude[-1] = '-';
    buf_.resize(start + w);
}

void LineBuilder::logical(bool v) { buf_.append(v ? "      T" : "      F"); }

void LineBuilder::general(double v) {
    if (!std::isfinite(v)) {
        not_finite(v, general_width);
        return;
    }
    if (v == 0.0) {
        // N is zero: no sign, even for a negative zero.
        buf_.append("  0.00000    ");
        return;
    }

    // N, the value rounded to 6 significant digits, as "d.ddddde+XX" (two or three
    // exponent digits).
    char n_text[16];
    const auto result = std::to_chars(n_text, n_text + sizeof n_text, std::fabs(v),
                                      std::chars_format::scientific, 5);
    const char digits[6] = {n_text[0], n_text[2], n_text[3], n_text[4], n_text[5], n_text[6]};
    int exponent = 0;
    for (const char* p = n_text + 9; p < result.ptr; ++p) exponent = exponent * 10 + (*p - '0');
    if (n_text[8] == '-') exponent = -exponent;

    char field[general_width];
    std::memset(field, ' ', sizeof field);
    if (exponent >= -1 && exponent <= 5) {
        // 0.1 <= |N| < 1000000: a fixed field of 9 with 6 - s decimals, s digits
        // before the point. Its last decimal sits at the place of N's sixth
        // significant digit, and where rounding carried into a new leading digit
        // (9.999996 -> 10.0000) the coarser place rounds to the same number; so
        // its digits are N's digits and need no second rounding.
        char* out = field;
        if (exponent == -1) {
            out = field + 9 - 8;
            *out++ = '0';
            *out++ = '.';
            std::memcpy(out, digits, 6);
        } else {
            out = field + 9 - 7;
            const auto before_point = static_cast<std::size_t>(exponent + 1);
            std::memcpy(out, digits, before_point);
            out += before_point;
            *out++ = '.';
            std::memcpy(out, digits + before_point, 6 - before_point);
        }
        if (std::signbit(v)) field[exponent == -1 ? 0 : 1] = '-';
    } else {
        // 0.dddddd has an exponent one above d.ddddd.
        const int shown = exponent + 1;
        const int magnitude = shown < 0 ? -shown : shown;
        char* out = field;
        *out++ = std::signbit(v) ? '-' : ' ';
        *out++ = '0';
        *out++ = '.';
        std::memcpy(out, digits, 6);
        out += 6;
        if (magnitude < 100) *out++ = 'E';
        *out++ = shown < 0 ? '-' : '+';
        if (magnitude >= 100) *out++ = static_cast<char>('0' + magnitude / 100);
        *out++ = static_cast<char>('0' + magnitude / 10 % 10);
        *out = static_cast<char>('0' + magnitude % 10);
    }
    buf_.append(field, sizeof field);
}

}  // namespace tulma
