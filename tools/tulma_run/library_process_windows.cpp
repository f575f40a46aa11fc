// The Windows half of running the library. Windows has no fork: tulma-run
// starts its own executable again with a hidden first argument, and that
// child reads the scenario anew, enters the run directory, loads TULMA.dll
// with LoadLibrary as a Windows river host does and makes the host calls.
// The child reports each finished call through an inherited pipe, and its
// standard output (the library's console) is another pipe the parent passes on.

#include <io.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>

#include "tulma_run/host_calls.hpp"
#include "tulma_run/library_process.hpp"

namespace tulma::run {
namespace {

namespace fs = std::filesystem;

// The child's command line: this flag, the scenario file, the run directory,
// the library, and the progress pipe's handle value.
constexpr std::string_view kChildFlag = "--library-child";

std::string last_error_text() {
    const DWORD code = GetLastError();
    char* text = nullptr;
    const DWORD size = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = size > 0 && text != nullptr ? std::string(text, size) : std::string();
    if (text != nullptr) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(code) : message;
}

void write_all(HANDLE handle, const char* data, std::size_t size) {
    while (size > 0) {
        DWORD written = 0;
        const DWORD chunk = size > 1u << 30 ? 1u << 30 : static_cast<DWORD>(size);
        if (!WriteFile(handle, data, chunk, &written, nullptr) || written == 0)
            return;  // a closed reader; nothing useful to do about it
        data += written;
        size -= written;
    }
}

// One argument as the C run-time's command-line parser reads it back: in
// quotes, with backslashes doubled only where they come before a quote.
std::wstring quoted(const std::wstring& arg) {
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, L'\\');
    out.push_back(L'"');
    return out;
}

fs::path own_executable() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return fs::path(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

[[noreturn]] void child_fail(int status, const std::string& message) {
    say("tulma-run: " + message + "\n");
    std::fflush(stdout);
    std::_Exit(status);
}

// The host side of the run, in the child process.
// The parent has read and checked the same scenario file moments before.
Scenario reload_scenario(const fs::path& file) {
    try {
        return load_scenario(file);
    } catch (const std::exception& error) {
        child_fail(kChildHostFailure, std::string("the host failed: ") + error.what());
    }
}

// The host side of the run, in the child process.
int play_host(const Scenario& scenario, const fs::path& run_dir, const fs::path& library,
              HANDLE progress) {
    if (!SetCurrentDirectoryW(run_dir.c_str()))
        child_fail(kChildNoDirectory,
                   "cannot enter " + run_dir.string() + ": " + last_error_text());
    // The library beside this program is loaded by its bare name, the way a
    // river host finds the TULMA.dll dropped into its own folder.
    std::error_code ec;
    const bool beside = fs::equivalent(library, default_library(), ec);
    HMODULE module =
        beside ? LoadLibraryW(fs::path(kLibraryFileName).c_str()) : LoadLibraryW(library.c_str());
    if (module == nullptr) {
        child_fail(kChildNoLibrary,
                   "cannot load the library " + library.string() + ": " + last_error_text());
    }
    auto entry = reinterpret_cast<tulma_entry_fn>(
        reinterpret_cast<void*>(GetProcAddress(module, "MAIN_VEG_TULMA")));
    if (entry == nullptr) {
        child_fail(kChildNoEntry,
                   "the library " + library.string() + " has no entry MAIN_VEG_TULMA");
    }
    try {
        make_host_calls(scenario, entry, [progress](std::int64_t call) {
            write_all(progress, reinterpret_cast<const char*>(&call), sizeof call);
        });
    } catch (const std::exception& error) {
        child_fail(kChildHostFailure, std::string("the host failed: ") + error.what());
    }
    // The library keeps its report files open to the end of the process, as
    // it does in a host model; the normal end of the process flushes and
    // closes them.
    std::fflush(nullptr);
    return 0;
}

// Reads what is waiting in a pipe without blocking. False once the pipe is
// empty and its writer has gone.
bool drain(HANDLE pipe, std::string& into) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return false;
    if (available == 0) return true;
    const std::size_t start = into.size();
    into.resize(start + available);
    DWORD got = 0;
    if (!ReadFile(pipe, into.data() + start, available, &got, nullptr)) {
        into.resize(start);
        return false;
    }
    into.resize(start + got);
    return true;
}

}  // namespace

fs::path default_library() {
    const fs::path self = own_executable();
    return (self.empty() ? fs::current_path() : self.parent_path()) / kLibraryFileName;
}

std::optional<int> run_as_child(int argc, char** argv) {
    if (argc < 2 || std::string_view(argv[1]) != kChildFlag) return std::nullopt;
    if (argc != 6) child_fail(kChildHostFailure, "the library's process got a bad command line");
    const auto progress =
        reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::strtoull(argv[5], nullptr, 10)));
    return play_host(reload_scenario(argv[2]), argv[3], argv[4], progress);
}

int run_library(const Scenario& scenario, const RunOptions& options) {
    SECURITY_ATTRIBUTES inherit{};
    inherit.nLength = sizeof inherit;
    inherit.bInheritHandle = TRUE;
    HANDLE progress_read = nullptr;
    HANDLE progress_write = nullptr;
    HANDLE output_read = nullptr;
    HANDLE output_write = nullptr;
    if (!CreatePipe(&progress_read, &progress_write, &inherit, 0) ||
        !CreatePipe(&output_read, &output_write, &inherit, 0) ||
        !SetHandleInformation(progress_read, HANDLE_FLAG_INHERIT, 0) ||
        !SetHandleInformation(output_read, HANDLE_FLAG_INHERIT, 0)) {
        say("tulma-run: cannot make a pipe: " + last_error_text() + "\n");
        return kExitFailure;
    }

    std::wstring command = quoted(own_executable().wstring());
    for (const std::wstring& arg :
         {std::wstring(kChildFlag.begin(), kChildFlag.end()), fs::absolute(scenario.file).wstring(),
          options.run_dir.wstring(), options.library.wstring(),
          std::to_wstring(reinterpret_cast<std::uintptr_t>(progress_write))}) {
        command += L" " + quoted(arg);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output_write;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    std::fflush(nullptr);
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        say("tulma-run: cannot start the library's process: " + last_error_text() + "\n");
        return kExitFailure;
    }
    CloseHandle(process.hThread);
    // Only the child holds the writing ends now, so the pipes end with it.
    CloseHandle(progress_write);
    CloseHandle(output_write);

    const HANDLE our_output = GetStdHandle(STD_OUTPUT_HANDLE);
    ProgressDisplay display(scenario, _isatty(_fileno(stderr)) != 0);
    display.start();
    bool progress_open = true;
    bool output_open = true;
    std::string progress_bytes;
    std::string output_bytes;
    while (progress_open || output_open) {
        bool quiet = true;
        if (output_open) {
            output_open = drain(output_read, output_bytes);
            if (!output_bytes.empty()) {
                quiet = false;
                display.clear();
                write_all(our_output, output_bytes.data(), output_bytes.size());
                output_bytes.clear();
            }
        }
        const std::size_t before = progress_bytes.size();
        if (progress_open) progress_open = drain(progress_read, progress_bytes);
        if (progress_bytes.size() != before) quiet = false;
        std::size_t used = 0;
        for (; progress_bytes.size() - used >= sizeof(std::int64_t); used += sizeof(std::int64_t)) {
            std::int64_t call = 0;
            std::memcpy(&call, progress_bytes.data() + used, sizeof call);
            display.on_call_done(call);
        }
        progress_bytes.erase(0, used);
        display.tick();
        // Nothing came: wait a little rather than spin.
        if (quiet) Sleep(20);
    }
    CloseHandle(progress_read);
    CloseHandle(output_read);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);

    ChildEnd end;
    // Exit codes in the range of system error statuses come from an
    // exception nobody caught (an access violation, a stack overflow).
    if ((code & 0xC0000000u) == 0xC0000000u) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
        end.exited = false;
        end.abnormal = std::string("was ended by exception ") + hex;
    } else {
        end.status = static_cast<int>(code);
    }
    return report_child_end(scenario, options, display, end);
}

}  // namespace tulma::run
