#include "util/field_editor.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <system_error>

namespace tulma {

namespace {

constexpr std::size_t to_size(int n) { return static_cast<std::size_t>(n); }

#ifdef __SIZEOF_INT128__
using Wide = unsigned __int128;

constexpr std::uint64_t kPow10[20] = {1ull,
                                      10ull,
                                      100ull,
                                      1000ull,
                                      10000ull,
                                      100000ull,
                                      1000000ull,
                                      10000000ull,
                                      100000000ull,
                                      1000000000ull,
                                      10000000000ull,
                                      100000000000ull,
                                      1000000000000ull,
                                      10000000000000ull,
                                      100000000000000ull,
                                      1000000000000000ull,
                                      10000000000000000ull,
                                      100000000000000000ull,
                                      1000000000000000000ull,
                                      10000000000000000000ull};

// a x 10^d rounded to a whole number from the exact binary value of a, ties to
// even: the rounding every field prints by. A double is m x 2^e with m below
// 2^53, so m x 10^d (d <= 19) is held exactly in 128 bits and the shift by e
// leaves an exact remainder to round on. False when d is out of reach or the
// result needs more than 64 bits; the caller then edits the slow way.
bool scaled_round(double a, int d, std::uint64_t& out) {
    if (d < 0 || d > 19 || !(a >= 0.0)) return false;
    if (a == 0.0) {
        out = 0;
        return true;
    }
    int exp2 = 0;
    const double fraction = std::frexp(a, &exp2);  // a = fraction x 2^exp2, fraction in [0.5, 1)
    const auto m = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    const int e = exp2 - 53;
    const Wide n = static_cast<Wide>(m) * kPow10[d];
    if (e >= 0) {
        if (e >= 64 || (n >> (64 - e)) != 0) return false;
        out = static_cast<std::uint64_t>(n << e);
        return true;
    }
    const int shift = -e;
    if (shift >= 128) {
        out = 0;  // n is below 2^117: what is left is far below one half
        return true;
    }
    const Wide whole = n >> shift;
    const Wide rest = n - (whole << shift);
    const Wide half = static_cast<Wide>(1) << (shift - 1);
    const Wide rounded = rest > half || (rest == half && (whole & 1) != 0) ? whole + 1 : whole;
    if ((rounded >> 64) != 0) return false;
    out = static_cast<std::uint64_t>(rounded);
    return true;
}
#endif

// |v| with `decimals` places, as "%.*f" writes it, into [first, last); the
// result of std::to_chars in fixed format with that precision, but from whole
// numbers where they can hold the value.
std::to_chars_result edit_fixed(char* first, char* last, double a, int decimals) {
#ifdef __SIZEOF_INT128__
    std::uint64_t scaled = 0;
    if (scaled_round(a, decimals, scaled)) {
        const std::uint64_t unit = kPow10[decimals];
        auto [end, error] = std::to_chars(first, last, scaled / unit);
        if (error != std::errc{}) return {last, std::errc::value_too_large};
        if (decimals == 0) return {end, std::errc{}};
        if (last - end < decimals + 1) return {last, std::errc::value_too_large};
        *end++ = '.';
        std::uint64_t places = scaled % unit;
        for (int i = decimals - 1; i >= 0; --i) {
            end[i] = static_cast<char>('0' + places % 10);
            places /= 10;
        }
        return {end + decimals, std::errc{}};
    }
#endif
    return std::to_chars(first, last, a, std::chars_format::fixed, decimals);
}

// The six significant digits of |a| (a finite, not zero), rounded from its
// exact binary value ties to even, and the decimal exponent of d.ddddd: what
// std::to_chars writes in scientific format with 5 decimals.
void six_digits(double a, char digits[6], int& exponent) {
#ifdef __SIZEOF_INT128__
    constexpr std::uint64_t kLow = 100000;
    constexpr std::uint64_t kHigh = 1000000;
    int exp2 = 0;
    (void)std::frexp(a, &exp2);
    // log10(2) ~ 78913 / 2^18: a first guess, one off at most.
    int e10 = ((exp2 - 1) * 78913) >> 18;
    std::uint64_t n = 0;
    bool done = false;
    for (int tries = 0; tries < 4 && !done; ++tries) {
        if (!scaled_round(a, 5 - e10, n)) break;
        if (n > kHigh) {
            ++e10;
        } else if (n < kLow) {
            --e10;
        } else if (n == kHigh) {
            // Rounding carried into a seventh digit: 1.00000 of the next power.
            n = kLow;
            ++e10;
            done = true;
        } else if (n == kLow) {
            // Either a at or above 10^e10, or just below it and rounded up:
            // one more digit decides.
            std::uint64_t finer = 0;
            if (!scaled_round(a, 6 - e10, finer)) break;
            if (finer < kHigh) {
                n = finer;
                --e10;
            }
            done = true;
        } else {
            done = true;
        }
    }
    if (done) {
        for (int i = 5; i >= 0; --i) {
            digits[i] = static_cast<char>('0' + n % 10);
            n /= 10;
        }
        exponent = e10;
        return;
    }
#endif
    // "d.ddddde+XX", two or three exponent digits.
    char n_text[16];
    const auto result =
        std::to_chars(n_text, n_text + sizeof n_text, a, std::chars_format::scientific, 5);
    const char text_digits[6] = {n_text[0], n_text[2], n_text[3], n_text[4], n_text[5], n_text[6]};
    std::memcpy(digits, text_digits, 6);
    exponent = 0;
    for (const char* p = n_text + 9; p < result.ptr; ++p) exponent = exponent * 10 + (*p - '0');
    if (n_text[8] == '-') exponent = -exponent;
}

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
    auto [end, error] = edit_fixed(first, last, std::fabs(v), decimals);
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

    // N, the value rounded to 6 significant digits: its digits, and the
    // exponent of d.ddddd.
    char digits[6];
    int exponent = 0;
    six_digits(std::fabs(v), digits, exponent);

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
