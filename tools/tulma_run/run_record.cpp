#include "tulma_run/run_record.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tulma/version.h"
#include "tulma_run/run_directory.hpp"
#include "tulma_run/scenario_error.hpp"

namespace tulma::run {
namespace {

std::string text_of_file(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string optional_string(const std::optional<std::string>& value) {
    return value ? json_string(*value) : "null";
}

std::string crs_object(const Scenario& scenario) {
    // The scenario's own crs is a choice the user made; the map's .prj may be
    // a leftover of how the map was drawn.
    if (scenario.crs)
        return "{\"wkt\": " + json_string(*scenario.crs) + ", \"source\": \"scenario\"}";
    if (scenario.map_prj) {
        std::string wkt = text_of_file(*scenario.map_prj);
        while (!wkt.empty() && (wkt.back() == '\n' || wkt.back() == '\r' || wkt.back() == ' '))
            wkt.pop_back();
        return "{\"wkt\": " + json_string(wkt) +
               ", \"source\": " + json_string(scenario.map_prj_name) + "}";
    }
    return "null";
}

std::string snapshots_keep(const SnapshotKeeping& keep) {
    switch (keep.kind) {
        case SnapshotKeeping::Kind::all:
            return "\"all\"";
        case SnapshotKeeping::Kind::none:
            return "\"none\"";
        case SnapshotKeeping::Kind::every_days:
            return number_text(keep.days);
    }
    return "null";
}

}  // namespace

std::string json_string(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void write_run_record(const Scenario& scenario, const RunOptions& options,
                      const std::optional<std::filesystem::path>& record_calls) {
    std::ostringstream j;
    j << "{\n  \"tulma_run\": 1,\n  \"version\": " << json_string(TULMA_VERSION_STRING) << ",\n"
      << "  \"scenario\": "
      << json_string(std::filesystem::absolute(scenario.file).lexically_normal().string())
      << ",\n  \"start\": " << json_string(scenario.start_text) << ",\n"
      << "  \"units\": " << (scenario.metric ? "\"metric\"" : "\"english\"") << ",\n"
      << "  \"time_step_hours\": " << number_text(scenario.time_step_hours) << ",\n"
      << "  \"end_hours\": " << number_text(scenario.end_hours) << ",\n"
      << "  \"map\": " << json_string(scenario.map_shp_name) << ",\n"
      << "  \"map_field\": " << optional_string(scenario.vegetation_facts.vit) << ",\n"
      << "  \"crs\": " << crs_object(scenario) << ",\n  \"reaches\": [";
    int i_xc = 0;
    std::string sections;
    for (std::size_t r = 0; r < scenario.reaches.size(); ++r) {
        const ReachEntry& reach = scenario.reaches[r];
        j << (r ? ",\n" : "\n") << "    {\"name\": " << json_string(reach.name)
          << ", \"first_xc\": " << i_xc + 1 << ", \"sections\": " << reach.sections.size() << "}";
        for (const SectionEntry& section : reach.sections) {
            sections += i_xc ? ",\n" : "\n";
            ++i_xc;
            sections += "    {\"i_xc\": " + std::to_string(i_xc) +
                        ", \"name\": " + json_string(section.name) +
                        ", \"reach\": " + json_string(reach.name) +
                        ", \"listed\": " + (section.gis ? "true" : "false") + "}";
        }
    }
    const char* threads = std::getenv("TULMA_THREADS");
    j << "\n  ],\n  \"sections\": [" << sections << "\n  ],\n"
      << "  \"snapshots\": {\"folder\": " << json_string(kSnapshotFolder)
      << ", \"keep\": " << snapshots_keep(scenario.snapshots) << "},\n"
      << "  \"options\": {\"run_dir\": " << json_string(options.shown_run_dir.string())
      << ", \"library\": " << json_string(options.library.string()) << ", \"record_calls\": "
      << (record_calls ? json_string(std::filesystem::absolute(*record_calls).string()) : "null")
      << ", \"threads\": "
      << (threads != nullptr && *threads != '\0' ? json_string(threads) : "null") << "},\n"
      << "  \"seeds\": {}\n}\n";
    const std::filesystem::path file = options.run_dir / kRunRecord;
    std::ofstream out(file, std::ios::binary);
    out << j.str();
    out.flush();
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

}  // namespace tulma::run
