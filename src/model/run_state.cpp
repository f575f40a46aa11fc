#include "model/run_state.hpp"

#include <cerrno>

#include "util/fatal_error.hpp"

namespace tulma {
namespace {

// Why a write failed, in words a user can act on, where the cause is clear.
std::string failure_reason(int error) {
    switch (error) {
        case ENOSPC:
            return ": the disk is full";
#ifdef EDQUOT
        case EDQUOT:
            return ": the disk quota is used up";
#endif
        default:
            return "";
    }
}

}  // namespace

void RunFiles::flush_all(std::string_view routine) {
    for (OutputFile* file : outputs()) {
        if (!file->flush()) {
            log_error(routine, "could not write " + file->name() + failure_reason(file->failure()));
        }
    }
}

void RunFiles::flush_all_unchecked() {
    for (OutputFile* file : outputs()) (void)file->flush();
}

}  // namespace tulma
