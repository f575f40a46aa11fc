// The POSIX half of running the library: a forked child that dlopens it, and
// a parent that polls the child's pipes.

#include "tulma_run/library_process.hpp"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "tulma_run/host_calls.hpp"

namespace tulma::run {
namespace {

void write_all(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // a closed reader; nothing useful to do about it
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

[[noreturn]] void child_fail(int status, const std::string& message) {
    say("tulma-run: " + message + "\n");
    std::fflush(stdout);
    ::_exit(status);
}

// The host side of the run, in the child process.
[[noreturn]] void play_host(const Scenario& scenario, const RunOptions& options, int progress_fd) {
    if (::chdir(options.run_dir.c_str()) != 0) {
        child_fail(kChildNoDirectory,
                   "cannot enter " + options.run_dir.string() + ": " + std::strerror(errno));
    }
    void* handle = ::dlopen(options.library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        child_fail(kChildNoLibrary, std::string("cannot load the library: ") + ::dlerror());
    auto entry = reinterpret_cast<tulma_entry_fn>(::dlsym(handle, "MAIN_VEG_TULMA"));
    if (entry == nullptr) {
        child_fail(kChildNoEntry,
                   "the library " + options.library.string() + " has no entry MAIN_VEG_TULMA");
    }
    try {
        make_host_calls(scenario, entry, [progress_fd](std::int64_t call) {
            write_all(progress_fd, reinterpret_cast<const char*>(&call), sizeof call);
        });
    } catch (const std::exception& error) {
        child_fail(kChildHostFailure, std::string("the host failed: ") + error.what());
    }
    // The library keeps its report files open to the end of the process, as
    // it does in a host model: every C stream is flushed, then the child ends
    // without the exit handlers, which belong to the parent it was copied from.
    std::fflush(nullptr);
    ::_exit(0);
}

}  // namespace

std::filesystem::path default_library() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (ec ? std::filesystem::current_path() : self.parent_path()) / kLibraryFileName;
}

std::optional<int> run_as_child(int, char**) { return std::nullopt; }

int run_library(const Scenario& scenario, const RunOptions& options) {
    int progress_pipe[2];
    int output_pipe[2];
    if (::pipe2(progress_pipe, O_CLOEXEC) != 0 || ::pipe2(output_pipe, O_CLOEXEC) != 0) {
        say(std::string("tulma-run: cannot make a pipe: ") + std::strerror(errno) + "\n");
        return kExitFailure;
    }
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) {
        say(std::string("tulma-run: cannot start the library's process: ") + std::strerror(errno) +
            "\n");
        return kExitFailure;
    }
    if (child == 0) {
        ::close(progress_pipe[0]);
        ::close(output_pipe[0]);
        if (::dup2(output_pipe[1], STDOUT_FILENO) < 0) ::_exit(kChildHostFailure);
        ::close(output_pipe[1]);
        play_host(scenario, options, progress_pipe[1]);
    }
    ::close(progress_pipe[1]);
    ::close(output_pipe[1]);
    // A reader of our standard output that goes away must not end the run.
    ::signal(SIGPIPE, SIG_IGN);

    ProgressDisplay display(scenario, ::isatty(STDERR_FILENO) == 1);
    display.start();
    pollfd fds[2] = {{progress_pipe[0], POLLIN, 0}, {output_pipe[0], POLLIN, 0}};
    char record[sizeof(std::int64_t)];
    std::size_t record_fill = 0;
    char buffer[65536];
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        const int ready = ::poll(fds, 2, 100);
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0 && fds[1].fd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t n = ::read(fds[1].fd, buffer, sizeof buffer);
            if (n > 0) {
                display.clear();
                write_all(STDOUT_FILENO, buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[1].fd);
                fds[1].fd = -1;
            }
        }
        if (ready > 0 && fds[0].fd >= 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t n = ::read(fds[0].fd, buffer, sizeof buffer);
            if (n > 0) {
                for (ssize_t i = 0; i < n; ++i) {
                    record[record_fill++] = buffer[i];
                    if (record_fill == sizeof record) {
                        std::int64_t call = 0;
                        std::memcpy(&call, record, sizeof call);
                        display.on_call_done(call);
                        record_fill = 0;
                    }
                }
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[0].fd);
                fds[0].fd = -1;
            }
        }
        display.tick();
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }

    ChildEnd end;
    if (WIFSIGNALED(status)) {
        const int signal_number = WTERMSIG(status);
        end.exited = false;
        end.abnormal = "was killed by signal " + std::to_string(signal_number) + " (" +
                       ::strsignal(signal_number) + ")";
    } else {
        end.status = WEXITSTATUS(status);
    }
    return report_child_end(scenario, options, display, end);
}

}  // namespace tulma::run
