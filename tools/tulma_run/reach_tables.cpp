#include "tulma_run/reach_tables.hpp"

#include <algorithm>
#include <climits>
#include <map>
#include <optional>
#include <set>

#include "tulma_run/scenario_error.hpp"
#include "tulma_run/toml_table.hpp"

namespace tulma::run {
namespace {

constexpr std::size_t kMaxRoughSections = 30;

class ReachReader {
 public:
    ReachReader(const std::string& display, bool gauge) : display_(display), gauge_(gauge) {}

    ReachTables read(const toml::table& root, double default_slope) {
        const toml::node* node = root.get("reach");
        if (node == nullptr || !node->is_array_of_tables() || node->as_array()->empty()) {
            throw ScenarioError(display_ +
                                ": reach: missing; expected at least one [[reach]] table");
        }
        std::set<std::string> reach_names;
        const toml::array& reaches = *node->as_array();
        for (std::size_t r = 0; r < reaches.size(); ++r) {
            const TableReader reach(display_, *reaches.get(r)->as_table(),
                                    "reach[" + std::to_string(r + 1) + "]",
                                    {"name", "energy_slope", "section"});
            ReachEntry entry;
            const toml::node& name_node = reach.require("name", "a reach name");
            entry.name = reach.text_of(name_node, "name", "a reach name");
            if (!reach_names.insert(entry.name).second)
                reach.fail(name_node, "name", "a name no other reach has");
            const double reach_slope =
                reach.optional_real("energy_slope", Bound::non_negative).value_or(default_slope);

            const toml::node* sections = reach.find("section");
            if (sections == nullptr || !sections->is_array_of_tables() ||
                sections->as_array()->empty()) {
                reach.fail_line(reach.line(), "section",
                                "missing; expected at least one [[reach.section]] table");
            }
            const toml::array& list = *sections->as_array();
            for (std::size_t s = 0; s < list.size(); ++s) {
                const TableReader section(
                    display_, *list.get(s)->as_table(),
                    reach.path() + ".section[" + std::to_string(s + 1) + "]",
                    {"name", "banks", "lengths", "distance", "reference_elevation", "class",
                     "roughness", "lev", "gis", "gauge_offset", "energy_slope"});
                entry.sections.push_back(read_section(section, reach_slope));
            }
            tables_.reaches.push_back(std::move(entry));
        }
        check_gauge_offsets();
        return std::move(tables_);
    }

 private:
    SectionEntry read_section(const TableReader& t, double reach_slope) {
        SectionEntry entry;
        SectionSource source;
        source.path = t.path();
        entry.line = t.line();
        const toml::node& name_node = t.require("name", "a cross-section name");
        entry.name = t.text_of(name_node, "name", "a cross-section name");
        if (entry.name.find(',') != std::string::npos || entry.name.front() == ' ' ||
            entry.name.back() == ' ' || entry.name.front() == '#') {
            t.fail(name_node, "name",
                   "a name without commas, without blanks at its ends, not starting with #");
        }
        if (const auto [it, fresh] = section_lines_.emplace(entry.name, line_of(name_node));
            !fresh) {
            t.fail(name_node, "name",
                   "a name no other cross section has (also at line " + std::to_string(it->second) +
                       ")");
        }
        read_banks(t, source);
        read_lengths(t, entry.geometry);
        entry.geometry.ref_ele = t.real("reference_elevation", Bound::any);
        if (const toml::node* c = t.find("class")) {
            entry.geometry.xc_class =
                t.integer_of(*c, "class", 1, INT32_MAX, "a whole number, at least 1");
        }
        read_roughness(t, entry.geometry, source);
        read_lev(t, entry.geometry);
        entry.gis = t.optional_bool("gis", false);
        std::optional<int> offset_line;
        if (const toml::node* offset = t.find("gauge_offset")) {
            entry.gauge_offset = t.real_of(*offset, "gauge_offset", Bound::any);
            offset_line = line_of(*offset);
        }
        entry.energy_slope =
            t.optional_real("energy_slope", Bound::non_negative).value_or(reach_slope);
        tables_.sources.push_back(source);
        offset_lines_.push_back(offset_line);
        return entry;
    }

    static void read_banks(const TableReader& t, SectionSource& source) {
        const char* expected = "two point numbers [left, right] of the main channel";
        const toml::node& banks = t.require("banks", expected);
        const auto* pair = banks.as_array();
        if (pair == nullptr || pair->size() != 2 || !pair->get(0)->is_integer() ||
            !pair->get(1)->is_integer()) {
            t.fail(banks, "banks", expected);
        }
        source.banks_line = line_of(banks);
        // Range checks wait for the points, so that the message can give their count.
        const auto bank = [&](std::size_t i) {
            return static_cast<std::int32_t>(
                std::clamp<std::int64_t>(pair->get(i)->as_integer()->get(), INT32_MIN, INT32_MAX));
        };
        source.lbank = bank(0);
        source.rbank = bank(1);
    }

    void read_lengths(const TableReader& t, host::CrossSectionInput& geometry) const {
        const char* expected = "{ channel = ..., left = ..., right = ... }";
        const TableReader l(display_,
                            t.table_of(t.require("lengths", expected), "lengths", expected),
                            t.key_path("lengths"), {"channel", "left", "right"});
        geometry.len_ch = l.real("channel", Bound::non_negative);
        geometry.len_lob = l.real("left", Bound::non_negative);
        geometry.len_rob = l.real("right", Bound::non_negative);
        geometry.xc_dist =
            t.optional_real("distance", Bound::non_negative).value_or(geometry.len_ch);
    }

    void read_roughness(const TableReader& t, host::CrossSectionInput& geometry,
                        SectionSource& source) const {
        const char* expected = "1 to 30 sections [ { start = station, n = Manning's n }, ... ]";
        const toml::node& rough = t.require("roughness", expected);
        const auto* list = rough.as_array();
        if (list == nullptr || list->empty()) t.fail(rough, "roughness", expected);
        source.roughness_line = line_of(rough);
        if (list->size() > kMaxRoughSections) {
            t.fail_line(
                line_of(rough), "roughness",
                "expected at most 30 roughness sections, found " + std::to_string(list->size()));
        }
        for (std::size_t i = 0; i < list->size(); ++i) {
            const std::string key = "roughness[" + std::to_string(i + 1) + "]";
            const TableReader r(
                display_, t.table_of(*list->get(i), key, "{ start = station, n = Manning's n }"),
                t.key_path(key), {"start", "n"});
            host::RoughSection section;
            section.start = r.real("start", Bound::any);
            section.n = r.real("n", Bound::positive);
            if (!geometry.rough.empty() && section.start <= geometry.rough.back().start) {
                r.fail(*r.find("start"), "start",
                       "a station after the previous section's start " +
                           number_text(geometry.rough.back().start));
            }
            geometry.rough.push_back(section);
        }
    }

    static void read_lev(const TableReader& t, host::CrossSectionInput& geometry) {
        const toml::node* lev = t.find("lev");
        if (lev == nullptr) return;
        const char* expected = "station ranges [ [start, end], ... ] with start <= end";
        const auto* ranges = lev->as_array();
        if (ranges == nullptr) t.fail(*lev, "lev", expected);
        for (std::size_t i = 0; i < ranges->size(); ++i) {
            const auto* range = ranges->get(i)->as_array();
            if (range == nullptr || range->size() != 2) t.fail(*lev, "lev", expected);
            host::LevRange lr;
            lr.start = t.real_of(*range->get(0), "lev", Bound::any);
            lr.end = t.real_of(*range->get(1), "lev", Bound::any);
            if (lr.start > lr.end) t.fail(*lev, "lev", expected);
            geometry.lev.push_back(lr);
        }
    }

    // Offsets belong to a gauge; without one they would be silently ignored.
    void check_gauge_offsets() const {
        std::size_t i = 0;
        for (const ReachEntry& reach : tables_.reaches) {
            for (const SectionEntry& s : reach.sections) {
                const std::string& path = tables_.sources[i].path;
                const std::optional<int>& offset_line = offset_lines_[i++];
                if (gauge_ && !offset_line) {
                    throw ScenarioError(where(display_, s.line) + path +
                                        ".gauge_offset: missing; expected the offset of " + s.name +
                                        " from the gauge stage (hydrology.gauge is given)");
                }
                if (!gauge_ && offset_line) {
                    throw ScenarioError(
                        where(display_, *offset_line) + path +
                        ".gauge_offset: expected no offset without hydrology.gauge");
                }
            }
        }
    }

    const std::string& display_;
    bool gauge_;
    ReachTables tables_;
    std::vector<std::optional<int>> offset_lines_;  // one per section, in scenario order
    std::map<std::string, int> section_lines_;      // where each section's name stands
};

}  // namespace

ReachTables read_reach_tables(const toml::table& root, const std::string& display,
                              double default_slope, bool gauge) {
    return ReachReader(display, gauge).read(root, default_slope);
}

}  // namespace tulma::run
