#include "input/record_reader.hpp"

#include <algorithm>
#include <charconv>
#include <initializer_list>
#include <utility>

#include "util/fatal_error.hpp"

namespace tulma {

namespace {

constexpr char kTab = '\t';

bool is_blank(char c) { return c == ' ' || c == kTab; }

// An integer right-aligned in a field of `width`; asterisks fill a field it
// does not fit, as a fixed-width field does.
std::string right_aligned(std::int32_t value, std::size_t width) {
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    const auto length = static_cast<std::size_t>(result.ptr - digits);
    if (length > width) return std::string(width, '*');
    std::string field(width - length, ' ');
    field.append(digits, length);
    return field;
}

// The first `length` columns of a text, blank-padded when it is shorter.
std::string columns(std::string_view text, std::size_t length) {
    std::string head(text.substr(0, std::min(length, text.size())));
    head.resize(length, ' ');
    return head;
}

// Writes the message to the echo file (when there is one) and stops the run
// with it on the console.
[[noreturn]] void stop_with(std::initializer_list<std::string> lines, OutputFile* echo) {
    std::string console;
    for (const std::string& text : lines) {
        if (echo != nullptr) echo->line(text);
        console.append(text).push_back('\n');
    }
    throw FatalError(std::move(console));
}

}  // namespace

std::string upper_case(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
    return upper;
}

std::int32_t count_items(std::string_view line, std::int32_t line_no) {
    const std::size_t end = std::min(line.size(), kExaminedLength);
    std::int32_t n_items = 0;
    // Column 1 holds the record name and is never counted; index i is column i + 1.
    for (std::size_t i = 1; i < end; ++i) {
        const char c = line[i];
        if (c == '!') break;  // the rest of the line is a comment
        if (c == '#') {
            stop_with(
                {"ERROR in line " + right_aligned(line_no, 7) + "   found", std::string(line)},
                nullptr);
        }
        const char before = line[i - 1];
        // A comma that follows a blank starts an item of its own.
        if ((is_blank(before) || before == ',') && !is_blank(c)) ++n_items;
        if (c == '"') {
            // A quoted item hides its blanks, commas, "!" and "#"; one left
            // open ends the counting.
            const std::size_t closing = line.substr(0, end).find('"', i + 1);
            if (closing == std::string_view::npos) break;
            i = closing;
        }
    }
    return n_items;
}

std::int32_t count_items(std::string_view line) { return count_items(line, 0); }

void read_line(std::string& line, std::int32_t& line_no, std::int32_t& n_items, InputFile& in,
               OutputFile& echo) {
    std::string text;
    for (;;) {
        line.assign(kLineLength, ' ');
        ++line_no;
        const InputFile::ReadStatus status = in.read_line(text);
        if (status == InputFile::ReadStatus::end_of_file) {
            line.replace(0, 3, "END");
            // The items of the end-of-file line are never counted; the only
            // caller that looks at them expects the END record, which has none.
            n_items = 0;
            return;
        }
        if (status == InputFile::ReadStatus::failure) {
            constexpr std::string_view kUnexpected = "UNEXPECTED END OF FILE";
            line.replace(0, kUnexpected.size(), kUnexpected);
            stop_with({"  Expecting record END - Found:", "  " + columns(line, kExaminedLength),
                       "  in line" + right_aligned(line_no, 7), "Please recheck the dataset."},
                      &echo);
        }
        line.replace(0, std::min(text.size(), kLineLength), text, 0, kLineLength);
        line.replace(0, 3, upper_case(std::string_view(line).substr(0, 3)));

        if (line[0] == '*' || line[0] == '!' || line.compare(0, 3, "COM") == 0) {
            echo.line(right_aligned(line_no, 7) + "   " + line);
            continue;
        }
        if (is_blank(line[0])) {
            stop_with({"ERROR in line " + right_aligned(line_no, 6) + "   found",
                       "Emply line found", line},
                      nullptr);
        }
        n_items = count_items(line, line_no);
        return;
    }
}

void check_record(std::string_view record_name, std::int32_t expected_items,
                  std::int32_t found_items, int read_status, const std::string& line,
                  std::int32_t line_no, OutputFile& echo) {
    const std::string name = columns(record_name, 3);
    const std::string shown = columns(line, kExaminedLength);
    if (columns(line, 3) != name) {
        stop_with({"  Expecting record " + name + " - found:", "  " + shown,
                   "  at line" + right_aligned(line_no, 7), "Please recheck the dataset."},
                  &echo);
    }
    if (found_items != expected_items) {
        stop_with(
            {"  Error at record " + name + " at line:", shown,
             "- found:" + right_aligned(found_items, 4) + " data items in line and expecting " +
                 right_aligned(expected_items, 4) + " data items.",
             "at line number :" + right_aligned(line_no, 7)},
            &echo);
    }
    if (read_status != 0) {
        stop_with({"  Error at record " + name + " Could not read line:", shown,
                   " at line number :" + right_aligned(line_no, 7)},
                  &echo);
    }
}

}  // namespace tulma
