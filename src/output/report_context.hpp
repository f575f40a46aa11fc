#pragma once

#include <string_view>

#include "model/host_args.hpp"
#include "model/run_state.hpp"
#include "util/field_editor.hpp"

namespace tulma {

// What every report file of an event is written from: the run, the host's
// arguments of the call, and one line buffer reused for every line, so that a
// report of millions of lines allocates nothing per line.
struct ReportContext {
    RunState& state;
    const HostArgs& host;
    LineBuilder line;

    // Ends the line being built in `file` and starts the next one: the line
    // and its end go out in one write, as the reports have millions of lines.
    void end_line(OutputFile& file) {
        line.text("\n");
        file.write(line.view());
        line.clear();
    }
    // Writes lines that are fixed texts.
    static void write_lines(OutputFile& file, std::initializer_list<std::string_view> lines) {
        for (std::string_view text : lines) file.line(text);
    }
};

}  // namespace tulma
