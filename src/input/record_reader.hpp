#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "util/text_files.hpp"

namespace tulma {

// The line buffer of a record file, blank-padded.
inline constexpr std::size_t kLineLength = 500;
// Items are counted, and lines shown in messages, up to this column only.
inline constexpr std::size_t kExaminedLength = 300;

// Fetches the next data line of a record file into `line` (kLineLength
// characters): counts every physical line in `line_no`, echoes comment lines
// to `echo`, upper-cases the record name in columns 1 to 3 and counts the data
// items after it into `n_items`. End of file comes back as a line named "END".
// An indented or empty line, a "#" in a data line or a failed read stops the
// run (FatalError, after the echo has been written).
void read_line(std::string& line, std::int32_t& line_no, std::int32_t& n_items, InputFile& in,
               OutputFile& echo);

// Stops the run when the line is not the expected record, holds the wrong
// number of items, or its values could not be read (`read_status` non-zero);
// the message goes to `echo` and is the FatalError's console text.
void check_record(std::string_view record_name, std::int32_t expected_items,
                  std::int32_t found_items, int read_status, const std::string& line,
                  std::int32_t line_no, OutputFile& echo);

// A copy with "a".."z" replaced by their capitals; every other byte unchanged.
std::string upper_case(std::string_view text);

// The number of data items after the record name, in columns 2 to 300. A "#"
// outside quotes stops the run; its message gives `line_no` as the line.
std::int32_t count_items(std::string_view line, std::int32_t line_no);
// The same for a line whose number is not known; a "#" message gives line 0.
std::int32_t count_items(std::string_view line);

}  // namespace tulma
