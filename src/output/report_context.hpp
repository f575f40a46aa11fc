#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "model/host_args.hpp"
#include "model/run_state.hpp"
#include "model/work_sharing.hpp"
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
    // Writes the lines format(i_xc, line) makes for each cross section of xcs,
    // in that order; format ends every line with "\n". The cross sections are
    // formatted on the run's workers, a few parts at a time, each part into a
    // buffer of its own, and the buffers go to the file in order: the bytes are
    // those one thread writes, and a report of millions of lines never needs
    // more than a few megabytes of buffers.
    void write_cross_sections(OutputFile& file, std::vector<std::int32_t> xcs,
                              const std::function<void(std::int32_t, LineBuilder&)>& format);
    // Calls work(i) for every i in 0 .. n - 1, on the run's workers, in runs
    // of neighbouring indices.
    void for_each_index(std::size_t n, const std::function<void(std::size_t)>& work);
    // Writes lines that are fixed texts.
    static void write_lines(OutputFile& file, std::initializer_list<std::string_view> lines) {
        for (std::string_view text : lines) file.line(text);
    }
};

}  // namespace tulma
