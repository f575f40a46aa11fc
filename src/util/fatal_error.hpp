#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace tulma {

// A failure the run cannot get past. It carries the exact text that goes to
// standard output (every line with its terminator); whatever else the failure
// writes (the echo in veg_err.dat) has been written before it is thrown. Only
// the entry point catches it, and it ends the process there.
class FatalError : public std::exception {
 public:
    explicit FatalError(std::string console_text) : console_text_(std::move(console_text)) {}

    const std::string& console_text() const noexcept { return console_text_; }
    const char* what() const noexcept override { return console_text_.c_str(); }

 private:
    std::string console_text_;
};

// The error logger: "ERROR in: <name>: <message>" on standard output, then the
// run ends. Both texts are written exactly as passed, trailing blanks included.
[[noreturn]] void log_error(std::string_view name, std::string_view message);

}  // namespace tulma
