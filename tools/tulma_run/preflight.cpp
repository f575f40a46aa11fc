#include "tulma_run/preflight.hpp"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>

#include "tulma_run/csv_table.hpp"
#include "tulma_run/scenario_error.hpp"

namespace tulma::run {
namespace {

constexpr std::size_t kCodeLength = 30;

std::uint32_t little_endian(const std::string& bytes, std::size_t at, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = size; i-- > 0;)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text.empty() ? "none" : text;
}

// The highest temperature of the series, when it has one readable sample.
std::optional<double> highest_temperature(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::optional<double> highest;
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 3) continue;
        std::string name = line.substr(0, 3);
        for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        if (name == "END") break;
        if (name != "TMP") continue;
        std::string values = line.substr(3);
        std::replace(values.begin(), values.end(), ',', ' ');
        std::istringstream words(values);
        std::string time, temperature;
        if (!(words >> time >> temperature)) continue;
        if (const std::optional<double> t = parse_number(temperature))
            highest = std::max(highest.value_or(*t), *t);
    }
    return highest;
}

}  // namespace

MapTable read_map_table(const std::filesystem::path& dbf, const std::string& field) {
    std::ifstream in(dbf, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    MapTable table;
    if (bytes.size() < 32) return table;
    const std::uint32_t records = little_endian(bytes, 4, 4);
    const std::uint32_t header = little_endian(bytes, 8, 2);
    const std::uint32_t record_length = little_endian(bytes, 10, 2);
    const std::size_t n_field = header >= 32 ? (header - 32) / 32 : 0;
    if (bytes.size() < 32 + 32 * n_field) return table;
    std::size_t chosen_at = 0, chosen_length = 0, position = 1;
    for (std::size_t f = 0; f < n_field; ++f) {
        std::string name = bytes.substr(32 + 32 * f, 11);
        name.resize(std::min(name.find('\0'), name.size()));
        for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        while (!name.empty() && name.back() == ' ') name.pop_back();
        const auto length = static_cast<unsigned char>(bytes[32 + 32 * f + 16]);
        if (name == field && chosen_length == 0) {
            chosen_at = position;
            chosen_length = length;
        }
        table.fields.push_back(name);
        position += length;
    }
    if (chosen_length == 0) return table;
    for (std::size_t r = 0; r < records; ++r) {
        const std::size_t at = 33 + 32 * n_field + record_length * r + chosen_at;
        if (at >= bytes.size()) break;
        std::string value = bytes.substr(at, chosen_length);
        std::replace(value.begin(), value.end(), '"', ' ');
        value.erase(0, std::min(value.find_first_not_of(' '), value.size()));
        if (value.size() > kCodeLength) value.resize(kCodeLength);
        while (!value.empty() && value.back() == ' ') value.pop_back();
        table.values.push_back(value);
    }
    return table;
}

std::vector<std::string> check_library_inputs(const Scenario& scenario) {
    const VegetationFacts& facts = scenario.vegetation_facts;
    const std::string vegetation = scenario.vegetation.lexically_normal().string();
    const std::string dbf = scenario.map_dbf.lexically_normal().string();
    std::vector<std::string> warnings;

    if (facts.degree_day_line > 0 && !scenario.temperature) {
        throw ScenarioError(where(vegetation, facts.degree_day_line) + "MDD: kind " +
                            std::to_string(facts.degree_day_kind) +
                            " times its seed release by degree days, so the library reads "
                            "temperature.txt: expected a temperature file in [inputs] of " +
                            scenario.file.string());
    }
    if (facts.degree_day_line > 0 && scenario.temperature) {
        // Daily air temperatures above 50 are Fahrenheit in any climate, and a
        // year that never passes 50 degrees Fahrenheit (10 C) grows no willow.
        if (const std::optional<double> highest = highest_temperature(*scenario.temperature)) {
            const bool looks_fahrenheit = *highest > 50.0;
            if (looks_fahrenheit == scenario.metric) {
                warnings.push_back(
                    scenario.temperature->lexically_normal().string() +
                    ": the temperatures reach " + number_text(*highest) + ", which looks like " +
                    (looks_fahrenheit ? "degrees Fahrenheit" : "degrees Celsius") +
                    ", but the scenario's units are " + (scenario.metric ? "metric" : "english") +
                    ", so the library reads them as " +
                    (scenario.metric ? "degrees Celsius" : "degrees Fahrenheit"));
            }
        }
    }

    if (!facts.vit) return warnings;
    const MapTable table = read_map_table(scenario.map_dbf, *facts.vit);
    if (table.fields.empty()) return warnings;  // not a table the check can read
    if (std::find(table.fields.begin(), table.fields.end(), *facts.vit) == table.fields.end()) {
        throw ScenarioError(where(vegetation, facts.vit_line) + "VIT names the field " +
                            in_quotes(*facts.vit) + ", which " + dbf +
                            " does not have: expected one of " + joined(table.fields));
    }
    // One warning per unknown code, naming the first record that carries it.
    std::map<std::string, std::pair<std::size_t, std::size_t>> unknown;  // first record, count
    for (std::size_t r = 0; r < table.values.size(); ++r) {
        const std::string& code = table.values[r];
        const bool known = std::any_of(facts.codes.begin(), facts.codes.end(),
                                       [&](const VegCodeEntry& c) { return c.code == code; });
        if (known) continue;
        auto [it, added] = unknown.try_emplace(code, r + 1, 0);
        ++it->second.second;
    }
    std::vector<std::pair<std::size_t, std::string>> in_order;
    for (const auto& [code, seen] : unknown) {
        const std::string more = seen.second > 1 ? " and " + std::to_string(seen.second - 1) +
                                                       " more record" + (seen.second > 2 ? "s" : "")
                                                 : "";
        in_order.emplace_back(seen.first, dbf + ": record " + std::to_string(seen.first) + more +
                                              ": " + *facts.vit + " " + in_quotes(code) +
                                              " matches no VIV record of " + vegetation +
                                              ": the points in its polygons start bare");
    }
    std::sort(in_order.begin(), in_order.end());
    for (auto& [record, text] : in_order) warnings.push_back(std::move(text));
    return warnings;
}

}  // namespace tulma::run
