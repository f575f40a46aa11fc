#include "input/kind_block.hpp"

#include <algorithm>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include "input/value_reader.hpp"
#include "util/fatal_error.hpp"
#include "util/number_text.hpp"

namespace tulma {
namespace {

constexpr const char* kReader = "read_vegData";
constexpr std::size_t kNameLength = 30;
constexpr std::size_t kMessageLength = 500;

// A method code the process does not know: the process text followed by the
// line that was read last, in a 500-character message buffer.
[[noreturn]] void method_error(const RecordFile& file, std::string_view text) {
    std::string_view line = file.line();
    line = line.substr(0, line.find_last_not_of(' ') + 1);
    std::string message(text);
    message.append(line);
    message.resize(kMessageLength, ' ');
    log_error(kReader, message);
}

std::int32_t read_integer(RecordFile& file, std::string_view name, std::int32_t& value) {
    file.next();
    ValueReader reader(file.values());
    reader.read(value);
    RecordEcho echo(file, name);
    echo.integer(value);
    echo.write();
    file.check(name, 1, reader.status());
    return value;
}

void read_reals(RecordFile& file, std::string_view name, std::initializer_list<double*> values) {
    file.next();
    ValueReader reader(file.values());
    for (double* v : values) reader.read(*v);
    RecordEcho echo(file, name);
    for (double* v : values) echo.real(*v);
    echo.write();
    file.check(name, static_cast<std::int32_t>(values.size()), reader.status());
}

// A table is a run of consecutive lines with its record name, one row each;
// the first line with another name ends it and is given back to the file.
// Returns the number of rows read.
std::int32_t read_table(RecordFile& file, std::string_view name, ParamTable& table,
                        std::int32_t n_values, int decimals = 3) {
    const std::int32_t columns = std::max(0, n_values);
    table.n_rows = 0;
    for (;;) {
        file.next();
        if (file.name() != name) {
            file.give_back();
            return table.n_rows;
        }
        if (table.n_rows == table.max_rows()) {
            log_error(kReader,
                      "too much " + std::string(name) + " record, please increase MAXTABLE");
        }
        const std::int32_t row = ++table.n_rows;
        ValueReader reader(file.values());
        for (std::int32_t c = 0; c < columns; ++c) reader.read(table.at(row, c));
        RecordEcho echo(file, name);
        for (std::int32_t c = 0; c < columns; ++c) echo.real(table.at(row, c), decimals);
        echo.write();
        file.check(name, n_values, reader.status());
    }
}

void read_release(RecordFile& file, VegKind& kind) {
    file.next();
    if (file.name() == "MDY") {
        kind.release_method = 0;
        const std::int32_t found = file.n_items();
        const std::int32_t pairs = found / 2;
        std::vector<std::int32_t> days(static_cast<std::size_t>(2 * pairs), 0);
        for (std::int32_t k = 0; k < std::min(pairs, kMaxReleaseWindows); ++k) {
            days[static_cast<std::size_t>(2 * k)] = kind.release_start[static_cast<std::size_t>(k)];
            days[static_cast<std::size_t>(2 * k + 1)] =
                kind.release_end[static_cast<std::size_t>(k)];
        }
        ValueReader reader(file.values());
        for (std::int32_t& day : days) reader.read(day);
        if (pairs > kMaxReleaseWindows)
            log_error(kReader, "too much MDY pairs, please increase MAXTABLE");
        kind.n_release = pairs;
        for (std::int32_t k = 0; k < pairs; ++k) {
            kind.release_start[static_cast<std::size_t>(k)] = days[static_cast<std::size_t>(2 * k)];
            kind.release_end[static_cast<std::size_t>(k)] =
                days[static_cast<std::size_t>(2 * k + 1)];
        }
        RecordEcho echo(file, "MDY");
        for (std::int32_t day : days) echo.integer(day);
        echo.write();
        // An odd count cannot be pairs: one value less is expected, so the
        // check reports the odd one.
        file.check("MDY", found - found % 2, reader.status());
    } else if (file.name() == "MDD") {
        kind.release_method = 1;
        file.give_back();
        read_reals(file, "MDD", {&kind.dd_threshold, &kind.dd_base, &kind.release_days});
        // A window ends release_days after the day it opens (day 1 to 366); that
        // end is a day number and must stay a 32-bit integer.
        constexpr double lowest =
            static_cast<double>(std::numeric_limits<std::int32_t>::min()) - 1.0;
        constexpr double highest =
            static_cast<double>(std::numeric_limits<std::int32_t>::max()) - 366.0;
        if (!(kind.release_days > lowest && kind.release_days < highest + 1.0)) {
            log_error(
                kReader,
                "MDD release days put the end of a release window outside the 32-bit day range");
        }
    } else {
        file.check("MDY", 0, 0);
    }
}

void read_germination(RecordFile& file, VegKind& kind) {
    read_integer(file, "MMT", kind.germ_method);
    if (kind.germ_method < 0 || kind.germ_method > 2) {
        method_error(file, "No such germination simulation method at : ");
    }
    if (kind.germ_method == 0) return;
    read_release(file, kind);

    file.next();
    ValueReader reader(file.values());
    reader.read(kind.germ_days).read(kind.moist_days).read(kind.moist_height).read(kind.seed_depth);
    RecordEcho echo(file, "MPR");
    echo.integer(kind.germ_days);
    echo.integer(kind.moist_days);
    echo.real(kind.moist_height);
    echo.real(kind.seed_depth);
    echo.write();
    file.check("MPR", 4, reader.status());

    if (kind.germ_method == 2) {
        read_reals(file, "MPW", {&kind.source_depth, &kind.seed_max_dist, &kind.seed_max_time});
    }
    read_table(file, "MLT", kind.spread_rate, 13);
    read_reals(file, "MEL", {&kind.spread_height});
}

void read_growth(RecordFile& file, VegKind& kind) {
    read_integer(file, "GMT", kind.grow_method);
    if (kind.grow_method != 0 && kind.grow_method != 1) {
        method_error(file, "No such growth simulation method at : ");
    }
    if (kind.grow_method == 0) return;
    read_table(file, "GST", kind.height_rate, 13);
    read_reals(file, "GSM", {&kind.max_height});
    read_table(file, "GCP", kind.canopy_rate, 13);
    read_reals(file, "GCM", {&kind.max_canopy});
    read_table(file, "GRT", kind.root_rate, 13);
    read_reals(file, "GRS", {&kind.root_reach, &kind.max_root_depth});
}

void read_roughness(RecordFile& file, VegKind& kind) {
    read_integer(file, "RMT", kind.rough_method);
    if (kind.rough_method != 0 && kind.rough_method != 1) {
        method_error(file, "No such vegetation roughness simulation method at : ");
    }
    if (kind.rough_method == 0) return;
    file.next();
    const bool first_is_row = file.name() == "RAM";
    file.give_back();
    if (!first_is_row) log_error(kReader, "Expecting RAM record");
    read_table(file, "RAM", kind.rough_table, 2);
}

void read_competition(RecordFile& file, VegKind& kind, std::int32_t num_veg_kinds) {
    read_integer(file, "CMT", kind.comp_method);
    if (kind.comp_method == 0) return;
    read_integer(file, "CID", kind.comp_id);
    if (kind.comp_method != 1) method_error(file, "No such competition simulation method at : ");
    if (num_veg_kinds > kMaxCompetingKinds) {
        log_error(kReader,
                  "CMP rows hold at most 20 vegetation kinds, VNM gives " + plain(num_veg_kinds));
    }
    if (read_table(file, "CMP", kind.comp_limit, 1 + num_veg_kinds) == 0) {
        // The message is the line that stood where the first row was expected.
        log_error("read_veg: no CMP record", file.line());
    }
    read_reals(file, "CSH", {&kind.shade_age});
}

// The mortality processes whose code selects one table or value: a non-zero
// code reads the death code the process writes, code 1 its parameters.
void read_scour(RecordFile& file, VegKind& kind) {
    read_integer(file, "SMT", kind.scour_method);
    if (kind.scour_method == 0) return;
    read_integer(file, "SID", kind.scour_id);
    if (kind.scour_method != 1) method_error(file, "No such scouring simulation method at : ");
    read_table(file, "SVC", kind.scour_limit, 2, 2);
}

void read_burial(RecordFile& file, VegKind& kind) {
    read_integer(file, "BMT", kind.burial_method);
    if (kind.burial_method == 0) return;
    read_integer(file, "BID", kind.burial_id);
    if (kind.burial_method != 1) method_error(file, "No such scouring simulation method at : ");
    read_reals(file, "BDP", {&kind.burial_param});
}

void read_drowning(RecordFile& file, VegKind& kind) {
    read_integer(file, "DMT", kind.drown_method);
    if (kind.drown_method == 0) return;
    read_integer(file, "DID", kind.drown_id);
    if (kind.drown_method != 1) method_error(file, "No such drowning simulation method at : ");
    read_table(file, "DTM", kind.drown_limit, 3);
}

void read_drying(RecordFile& file, VegKind& kind, std::int32_t n_stress_class) {
    read_integer(file, "YMT", kind.dry_method);
    if (kind.dry_method == 0) return;
    read_integer(file, "YID", kind.dry_id);
    const std::int32_t method = kind.dry_method;
    if (method == 1 || method == 3) {
        // With no row the check reports the line that ended the table, as the
        // table left it (given back, the line count one lower).
        if (read_table(file, "YTM", kind.dry_limit, 3) == 0) file.check("YTM", 3, 0);
        kind.dry_switch_age = kind.dry_limit.at(1, 0);
    }
    if (method == 2 || method == 3) {
        if (n_stress_class > kMaxStressClasses) {
            log_error(kReader, "too many stress classes, please increase MAXTABLE");
        }
        read_table(file, "YWT", kind.stress_rate, 1 + n_stress_class);
    }
    if (method < 0 || method > 3) method_error(file, "No such drying simulation method at : ");

    file.next();
    ValueReader reader(file.values());
    for (bool& flag : kind.dry_months) reader.read(flag);
    RecordEcho echo(file, "YMN");
    for (bool flag : kind.dry_months) echo.logical(flag);
    echo.write();
    file.check("YMN", 12, reader.status());
}

void read_ice(RecordFile& file, VegKind& kind) {
    read_integer(file, "IMT", kind.ice_method);
    if (kind.ice_method == 0) return;
    read_integer(file, "IID", kind.ice_id);
    method_error(file, "No such ice simulation method at : ");
}

void read_age(RecordFile& file, VegKind& kind) {
    read_integer(file, "AMT", kind.age_method);
    if (kind.age_method == 0) return;
    read_integer(file, "AID", kind.age_id);
    if (kind.age_method != 1) method_error(file, "No such age simulation method at : ");
    read_reals(file, "ATM", {&kind.max_age});
}

void read_name(RecordFile& file, VegKind& kind) {
    file.next();
    if (file.name() != "VVN") {
        file.give_back();
        kind.veg_name = VegKind{}.veg_name;
        return;
    }
    LineBuilder echo;
    echo.integer(file.line_no(), 7);
    echo.blanks(3);
    echo.text(file.line());
    file.echo().line(echo.view());
    std::string_view rest = file.values();
    const std::size_t first = rest.find_first_not_of(' ');
    rest = first == std::string_view::npos ? std::string_view() : rest.substr(first);
    kind.veg_name.assign(rest.substr(0, kNameLength));
    kind.veg_name.resize(kNameLength, ' ');
}

}  // namespace

void read_kind_block(RecordFile& file, VegKind& kind, std::int32_t num_veg_kinds,
                     std::int32_t n_stress_class) {
    read_name(file, kind);
    read_germination(file, kind);
    read_growth(file, kind);
    read_roughness(file, kind);
    read_competition(file, kind, num_veg_kinds);
    read_scour(file, kind);
    read_burial(file, kind);
    read_drowning(file, kind);
    read_drying(file, kind, n_stress_class);
    read_ice(file, kind);
    read_age(file, kind);
}

}  // namespace tulma
