#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "util/field_editor.hpp"
#include "util/text_files.hpp"

namespace tulma {

// A record file being read: the 500-character line buffer, the physical line
// count and the item count of the current data line, with the echo file that
// receives comment lines, record echoes and record-check messages.
class RecordFile {
 public:
    RecordFile(InputFile& in, OutputFile& echo) : in_(in), echo_(echo) {}

    // Reads the next data line (comment lines are echoed and passed over; end of
    // file comes back as a line named "END").
    void next();
    // Gives the current line back to the file: the next record read starts
    // from it. Optional and repeated records end this way.
    void give_back();
    // Stops the run unless the current line is the expected record with the
    // expected number of items and its values were read.
    void check(std::string_view expected_name, std::int32_t expected_items, int read_status) const;

    std::string_view name() const { return std::string_view(line_).substr(0, 3); }
    // Columns 4 to 500, where a record's values stand.
    std::string_view values() const { return std::string_view(line_).substr(3); }
    const std::string& line() const { return line_; }
    std::int32_t line_no() const { return line_no_; }
    std::int32_t n_items() const { return n_items_; }
    OutputFile& echo() const { return echo_; }
    void restart_count() { line_no_ = 0; }

 private:
    InputFile& in_;
    OutputFile& echo_;
    std::string line_;
    std::int32_t line_no_ = 0;
    std::int32_t n_items_ = 0;
};

// One record's echo: the line number in width 7, three blanks, the record name,
// then its values, integers in width 12 and reals in width 12 with 3 decimals
// unless a record says otherwise. A record with more than 20 values goes on
// over the following lines, 20 values to a line, in the same fields.
class RecordEcho {
 public:
    RecordEcho(const RecordFile& file, std::string_view name);
    void integer(std::int32_t v, int width = 12);
    void real(double v, int decimals = 3, int width = 12);
    void logical(bool v);  // eleven blanks, then T or F
    void text(std::string_view s);
    // Writes the last line of the echo.
    void write();
    // Records whose echo is always one line (the vegetation codes).
    void keep_on_one_line() { wrap_ = false; }

 private:
    void before_value();

    OutputFile& out_;
    LineBuilder line_;
    int values_on_line_ = 0;
    bool wrap_ = true;
};

}  // namespace tulma
