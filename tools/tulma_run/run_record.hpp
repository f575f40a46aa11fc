#pragma once

// run.json: what a run was, for the programs that read its reports. The
// library's reports know neither dates nor names nor units nor where on the
// earth the points lie; the stand-in host knows all of them, and writes them
// down beside the reports before the first call.

#include <filesystem>
#include <optional>

#include "tulma_run/library_process.hpp"
#include "tulma_run/scenario.hpp"

namespace tulma::run {

// Writes RUN_DIR/run.json (layout in docs/scenario.md).
void write_run_record(const Scenario& scenario, const RunOptions& options,
                      const std::optional<std::filesystem::path>& record_calls);

// The text of a JSON string: quotes, backslashes and control characters escaped.
std::string json_string(std::string_view text);

}  // namespace tulma::run
