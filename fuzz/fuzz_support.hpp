#pragma once

// Shared pieces of the in-process fuzz targets: a private working directory
// (the readers open their files by name), the swapped end of the process, and
// the splitting of one fuzz input into several input files.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "host/stop.hpp"
#include "util/fatal_error.hpp"

namespace tulma::fuzz {

// Thrown by the swapped end of the process: a run that stops with a message
// is a normal outcome of a malformed input, not a finding.
struct ProcessEnded {};

[[noreturn]] inline void end_by_throwing() { throw ProcessEnded{}; }

// Every target runs in a directory of its own, so that the files the readers
// open and the reports they write never meet those of another target.
inline void enter_scratch_directory() {
    static bool entered = false;
    if (entered) return;
    char pattern[] = "/tmp/tulma-fuzz-XXXXXX";
    if (::mkdtemp(pattern) == nullptr || ::chdir(pattern) != 0) {
        std::perror("tulma fuzz scratch directory");
        std::abort();
    }
    set_process_end_handler(&end_by_throwing);
    entered = true;
}

inline void write_file(const char* name, std::string_view bytes) {
    std::FILE* f = std::fopen(name, "wb");
    if (f == nullptr) {
        std::perror(name);
        std::abort();
    }
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// The input cut at each occurrence of `separator`, into at most `parts`
// pieces (the last piece keeps any further separators); missing pieces are empty.
inline std::vector<std::string_view> split(const std::uint8_t* data, std::size_t size,
                                           std::string_view separator, std::size_t parts) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> pieces;
    while (pieces.size() + 1 < parts) {
        const std::size_t at = rest.find(separator);
        if (at == std::string_view::npos) break;
        pieces.push_back(rest.substr(0, at));
        rest.remove_prefix(at + separator.size());
    }
    pieces.push_back(rest);
    pieces.resize(parts);
    return pieces;
}

inline std::string padded(std::string_view text, std::size_t length) {
    std::string s(text);
    s.resize(length, ' ');
    return s;
}

// A library fault that the sanitizers cannot see (an exception other than the
// run's own stop escaping, a broken invariant): crash so that libFuzzer keeps
// the input.
[[noreturn]] inline void fault(const char* what) {
    std::fprintf(stderr, "tulma fuzz: %s\n", what);
    __builtin_trap();
}

}  // namespace tulma::fuzz
