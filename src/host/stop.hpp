#pragma once

#include "model/run_state.hpp"
#include "util/fatal_error.hpp"

namespace tulma {

// The one way a run ends early: the message on standard output, every file the
// library writes flushed, then a normal end of the process with nothing more
// written anywhere. `state` may be null before the set-up has made it.
[[noreturn]] void stop_run(const FatalError& error, RunState* state);

// In-process harnesses (fuzzing, death-free tests) replace the end of the
// process by a handler that must not return, typically one that throws.
using ProcessEndHandler = void (*)();
void set_process_end_handler(ProcessEndHandler handler);

}  // namespace tulma
