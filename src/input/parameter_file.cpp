#include "input/parameter_file.hpp"

#include <string>

#include "input/kind_block.hpp"
#include "input/record_file.hpp"
#include "input/record_reader.hpp"
#include "input/shapefile.hpp"
#include "input/value_reader.hpp"
#include "util/allocation.hpp"
#include "util/fatal_error.hpp"
#include "util/number_text.hpp"

namespace tulma {
namespace {

constexpr const char* kReader = "read_vegData";
constexpr std::size_t kShapeFileLength = 220;
constexpr std::size_t kFieldNameLength = 30;
constexpr std::size_t kCodeLength = 30;
// A density of 1.01 written in the file is accepted: the bound is that value
// as single precision, widened.
constexpr double kDensityBound = 1.0099999904632568;
// Older ages would take thousands of years of monthly growth to size a plant.
constexpr double kMaxInitialAge = 1000.0;

// The message line that goes to veg_err.dat before a code is refused.
void echo_code_error(RecordFile& file, std::string_view text) {
    LineBuilder line;
    line.blanks(1);
    line.text(text);
    line.integer(file.line_no(), 12);
    file.echo().line(line.view());
}

void read_intervals(RecordFile& file, RunState& state) {
    file.next();
    ValueReader reader(file.values());
    reader.read(state.veg_dt).read(state.out_dt);
    RecordEcho echo(file, "VPM");
    echo.real(state.veg_dt);
    echo.real(state.out_dt);
    echo.write();
    file.check("VPM", 2, reader.status());
}

void read_kind_count(RecordFile& file, RunState& state) {
    std::int32_t kinds = state.num_veg_kinds;
    file.next();
    ValueReader reader(file.values());
    reader.read(kinds).read(state.n_stress_class);
    RecordEcho echo(file, "VNM");
    echo.integer(kinds);
    echo.integer(state.n_stress_class);
    echo.write();
    file.check("VNM", 2, reader.status());
    // The kind table was sized from the count the set-up found; a different
    // count here (a key the set-up did not recognise) would read past it.
    if (kinds != state.num_veg_kinds) {
        log_error(kReader, "VNM record gives " + plain(kinds) +
                               " vegetation kinds but the set-up counted " +
                               plain(state.num_veg_kinds));
    }
    if (kinds > kMaxVegKinds) {
        log_error(kReader,
                  "VNM record gives " + plain(kinds) + " vegetation kinds, at most 30 are allowed");
    }
    if (kinds < 1) {
        log_error(kReader,
                  "VNM record gives " + plain(kinds) + " vegetation kinds, at least 1 is needed");
    }
}

void read_lev_kind(RecordFile& file, RunState& state) {
    file.next();
    if (file.name() != "LEV") {
        file.give_back();
        state.lev_kind = 0;
        return;
    }
    ValueReader reader(file.values());
    reader.read(state.lev_kind);
    RecordEcho echo(file, "LEV");
    echo.integer(state.lev_kind);
    echo.write();
    file.check("LEV", 1, reader.status());
    if (state.lev_kind < 0 || state.lev_kind > state.num_veg_kinds) {
        log_error(kReader, "LEV record gives vegetation kind " + plain(state.lev_kind) +
                               ", outside 0 .. " + plain(state.num_veg_kinds));
    }
}

void read_text_record(RecordFile& file, std::string_view name, std::string& value,
                      std::size_t length, bool upper) {
    value.assign(length, ' ');
    file.next();
    ValueReader reader(file.values());
    reader.read(FixedText{value, length});
    if (upper) value = upper_case(value);
    RecordEcho echo(file, name);
    echo.text("   ");
    echo.text(value);
    echo.write();
    file.check(name, 1, reader.status());
}

void read_code(RecordFile& file, RunState& state, std::size_t index) {
    const std::int32_t kinds = state.num_veg_kinds;
    VegCode& code = state.veg_codes[index];
    file.next();
    ValueReader reader(file.values());
    reader.read(FixedText{code.code, kCodeLength});
    for (std::int32_t k = 0; k < kinds; ++k) {
        reader.read(code.init_age[static_cast<std::size_t>(k)])
            .read(code.density[static_cast<std::size_t>(k)]);
    }
    for (std::int32_t k = 0; k < kinds; ++k) {
        if (code.density[static_cast<std::size_t>(k)] > kDensityBound) {
            echo_code_error(
                file, "ERROR at record VIV, density should be smaller than 1, line number = ");
            log_error(kReader, "ERROR at record VIV, density should be smaller than 1");
        }
    }
    RecordEcho echo(file, "VIV");
    echo.keep_on_one_line();
    echo.text("   ");
    echo.text(code.code);
    for (std::int32_t k = 0; k < kinds; ++k) {
        echo.real(code.init_age[static_cast<std::size_t>(k)], 3, 10);
        echo.real(code.density[static_cast<std::size_t>(k)], 3, 10);
    }
    echo.write();
    file.check("VIV", 2 * kinds + 1, reader.status());
    for (std::size_t earlier = 0; earlier < index; ++earlier) {
        if (state.veg_codes[earlier].code == code.code) {
            echo_code_error(file, "ERROR at record VIV, duplicate vegetation code, line number = ");
            log_error(kReader, "ERROR at record VIV, duplicate vegetation code");
        }
    }
    for (std::int32_t k = 0; k < kinds; ++k) {
        const double age = code.init_age[static_cast<std::size_t>(k)];
        if (age > kMaxInitialAge) {
            log_error(kReader, "VIV record gives vegetation kind " + plain(k + 1) +
                                   " an initial age of " + plain(age) +
                                   " years, at most 1000 are allowed");
        }
    }
}

}  // namespace

std::int32_t count_veg_codes(InputFile& file) {
    file.rewind();
    std::int32_t n_codes = 0;
    std::string line;
    std::string first(3, ' ');
    while (file.read_line(line) == InputFile::ReadStatus::ok) {
        first.assign(3, ' ');  // every line starts from a blank value
        ValueReader reader(line);
        reader.read(FixedText{first, 3});
        if (reader.status() == ValueReader::kRanOut) continue;  // a line of blanks
        if (reader.status() != 0) break;
        if (first == "END") break;
        if (first == "VIV") ++n_codes;
    }
    file.rewind();
    return n_codes;
}

void read_vegData(RunState& state, std::int32_t trace) {
    InputFile& in = state.files.veg;
    const std::int32_t n_codes = count_veg_codes(in);
    allocate_or_stop(
        kReader, [&] { state.veg_codes.assign(static_cast<std::size_t>(n_codes), VegCode{}); },
        "ERROR allocating memory for vegetation array");

    RecordFile file(in, state.files.err);
    read_intervals(file, state);
    read_kind_count(file, state);
    read_lev_kind(file, state);
    read_text_record(file, "VIN", state.veg_shape_file, kShapeFileLength, false);
    read_text_record(file, "VIT", state.veg_shape_field, kFieldNameLength, true);
    for (std::size_t i = 0; i < state.veg_codes.size(); ++i) read_code(file, state, i);

    read_ENV(state, state.veg_shape_file, state.veg_shape_field, trace);

    for (VegKind& kind : state.kinds) {
        read_kind_block(file, kind, state.num_veg_kinds, state.n_stress_class);
    }

    file.next();
    RecordEcho echo(file, "END");
    echo.write();
    file.check("END", 0, 0);
    in.close();
}

}  // namespace tulma
