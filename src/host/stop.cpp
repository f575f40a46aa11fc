#include "host/stop.hpp"

#include <cstdio>
#include <cstdlib>

namespace tulma {
namespace {
ProcessEndHandler g_end_handler = nullptr;
}  // namespace

void set_process_end_handler(ProcessEndHandler handler) { g_end_handler = handler; }

void stop_run(const FatalError& error, RunState* state) {
    const std::string& text = error.console_text();
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (state != nullptr) state->files.flush_all_unchecked();
    // The host's own buffered output goes out too, so that what it wrote before
    // the stop is not lost; nothing runs after this that could write more.
    std::fflush(nullptr);
    if (g_end_handler != nullptr) {
        g_end_handler();
    }
    // A normal stop: exit status 0, no exit handlers or destructors of the host
    // that might still write to the console.
    std::_Exit(0);
}

}  // namespace tulma
