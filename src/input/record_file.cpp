#include "input/record_file.hpp"

#include "input/record_reader.hpp"

namespace tulma {

namespace {
constexpr int kValuesPerEchoLine = 20;
}  // namespace

void RecordFile::next() { read_line(line_, line_no_, n_items_, in_, echo_); }

void RecordFile::give_back() {
    in_.step_back();
    --line_no_;
}

void RecordFile::check(std::string_view expected_name, std::int32_t expected_items,
                       int read_status) const {
    check_record(expected_name, expected_items, n_items_, read_status, line_, line_no_, echo_);
}

RecordEcho::RecordEcho(const RecordFile& file, std::string_view name) : out_(file.echo()) {
    line_.integer(file.line_no(), 7);
    line_.blanks(3);
    line_.text(name);
}

void RecordEcho::before_value() {
    if (wrap_ && values_on_line_ == kValuesPerEchoLine) {
        out_.line(line_.view());
        line_.clear();
        values_on_line_ = 0;
    }
    ++values_on_line_;
}

void RecordEcho::integer(std::int32_t v, int width) {
    before_value();
    line_.integer(v, width);
}

void RecordEcho::real(double v, int decimals, int width) {
    before_value();
    line_.fixed(v, width, decimals);
}

void RecordEcho::logical(bool v) {
    before_value();
    line_.blanks(11);
    line_.text(v ? "T" : "F");
}

void RecordEcho::text(std::string_view s) { line_.text(s); }

void RecordEcho::write() {
    out_.line(line_.view());
    line_.clear();
}

}  // namespace tulma
