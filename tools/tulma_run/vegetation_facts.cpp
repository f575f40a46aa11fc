#include "tulma_run/vegetation_facts.hpp"

#include <charconv>
#include <cmath>
#include <fstream>

namespace tulma::run {
namespace {

constexpr std::size_t kLineLength = 500;  // the library's record buffer
constexpr std::size_t kVinLength = 220;   // the library's map name field
constexpr std::size_t kCodeLength = 30;   // the library's field and code texts

std::string fitted(std::string value, std::size_t length) {
    if (value.size() > length) value.resize(length);
    while (!value.empty() && value.back() == ' ') value.pop_back();
    return value;
}

bool separator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '/'; }

// The first free-form value after the record name, as text; empty optional when
// the line starts with a null value or holds a quote left open.
std::optional<std::string> first_value(std::string_view line) {
    std::size_t at = 3;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    if (at >= line.size() || line[at] == ',' || line[at] == '/') return std::nullopt;
    const char quote = line[at];
    if (quote == '"' || quote == '\'') {
        std::string value;
        for (std::size_t i = at + 1; i < line.size(); ++i) {
            if (line[i] != quote) {
                value.push_back(line[i]);
            } else if (i + 1 < line.size() && line[i + 1] == quote) {
                value.push_back(quote);
                ++i;
            } else {
                if (i + 1 < line.size() && !separator(line[i + 1])) return std::nullopt;
                return value;
            }
        }
        return std::nullopt;
    }
    std::size_t end = at;
    while (end < line.size() && !separator(line[end])) ++end;
    return std::string(line.substr(at, end - at));
}

std::optional<double> real_value(std::string text) {
    for (char& c : text) {
        if (c == 'd' || c == 'D') c = 'e';
    }
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E')) {
            return std::nullopt;
        }
    }
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    double value = 0.0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
        !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string upper3(std::string_view line) {
    std::string name(line.substr(0, 3));
    for (char& c : name) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return name;
}

}  // namespace

VegetationFacts read_vegetation_facts(const std::filesystem::path& file) {
    VegetationFacts facts;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    bool vpm_seen = false;
    int kinds = 0;
    for (int line_no = 1; std::getline(in, line); ++line_no) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > kLineLength) line.resize(kLineLength);
        if (line.empty() || line[0] == ' ' || line[0] == '\t')
            break;  // the library stops here itself
        const std::string name = upper3(line);
        if (line[0] == '*' || line[0] == '!' || name == "COM") continue;
        if (name == "END") break;
        if (name == "VPM" && !vpm_seen) {
            vpm_seen = true;
            if (auto value = first_value(line)) facts.veg_dt = real_value(*value);
        } else if (name == "VIN") {
            if (auto value = first_value(line)) {
                facts.vin = fitted(*value, kVinLength);
                facts.vin_line = line_no;
            }
        } else if (name == "VIT") {
            if (auto value = first_value(line)) {
                std::string field = fitted(*value, kCodeLength);
                for (char& c : field) {
                    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
                }
                facts.vit = field;
                facts.vit_line = line_no;
            }
        } else if (name == "VIV") {
            if (auto value = first_value(line))
                facts.codes.push_back({fitted(*value, kCodeLength), line_no});
        } else if (name == "MMT") {
            ++kinds;
        } else if (name == "MDD" && facts.degree_day_line == 0) {
            facts.degree_day_line = line_no;
            facts.degree_day_kind = kinds;
        }
    }
    return facts;
}

std::string shapefile_opened_for(std::string_view vin) {
    const std::size_t dot = vin.rfind('.');
    std::string base(dot == std::string_view::npos ? vin : vin.substr(0, dot));
    if (dot == std::string_view::npos) {
        while (!base.empty() && base.back() == ' ') base.pop_back();
    }
    return base + ".shp";
}

}  // namespace tulma::run
