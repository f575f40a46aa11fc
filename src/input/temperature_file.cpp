#include "input/temperature_file.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "input/record_reader.hpp"
#include "input/value_reader.hpp"
#include "util/allocation.hpp"
#include "util/fatal_error.hpp"
#include "util/field_editor.hpp"

namespace tulma {

namespace {

constexpr std::string_view kReader = "read_temp";
constexpr std::string_view kSample = "TMP";
constexpr std::string_view kNoSample =
    "temperature.txt holds no TMP record; degree-day seed release needs at least one";

bool named(const std::string& line, std::string_view name) {
    return std::string_view(line).substr(0, 3) == name;
}

}  // namespace

void read_temp(RunState& state) {
    InputFile& in = state.files.temp;
    OutputFile& echo = state.files.temp_out;
    std::string line;
    std::int32_t line_no = 0;
    std::int32_t n_items = 0;

    // Count pass: the samples before the first END (or the end of the file).
    // Comment lines up to there reach the echo now, whatever follows them.
    std::int32_t count = 0;
    for (;;) {
        read_line(line, line_no, n_items, in, echo);
        if (named(line, "END")) break;
        if (named(line, kSample)) ++count;
    }
    if (count == 0) log_error(kReader, kNoSample);

    in.rewind();
    // The file is read again from its first line, so messages of the data pass
    // name the line as an editor shows it.
    line_no = 0;

    state.n_temp = count;
    allocate_or_stop(
        kReader,
        [&] {
            state.temp_time.assign(static_cast<std::size_t>(count), 0.0);
            state.temp_val.assign(static_cast<std::size_t>(count), 0.0);
        },
        "ERROR allocating memory for time,temp");

    // Data pass: the counted samples must come first, one after another; any
    // other record among them, or a sample without exactly a time and a
    // temperature, stops the run.
    LineBuilder out;
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        read_line(line, line_no, n_items, in, echo);
        ValueReader values(std::string_view(line).substr(3));
        values.read(state.temp_time[i]).read(state.temp_val[i]);
        check_record(kSample, 2, n_items, values.status(), line, line_no, echo);
        out.clear();
        out.text(kSample);
        out.blanks(2);
        out.fixed(state.temp_time[i], 10, 2);
        out.fixed(state.temp_val[i], 10, 2);
        echo.line(out.view());
    }
}

}  // namespace tulma
