#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace tulma::testing {

// A fresh working directory for one test, entered on construction and removed
// (after leaving it) on destruction: the library reads and writes its files in
// the working directory.
class TempWorkDir {
 public:
    TempWorkDir() : previous_(std::filesystem::current_path()) {
        char pattern[] = "/tmp/tulma-test-XXXXXX";
        path_ = ::mkdtemp(pattern);
        std::filesystem::current_path(path_);
    }
    ~TempWorkDir() {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempWorkDir(const TempWorkDir&) = delete;
    TempWorkDir& operator=(const TempWorkDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

    static void write(const std::string& name, std::string_view content) {
        std::ofstream(name, std::ios::binary) << content;
    }
    static std::string read(const std::string& name) {
        std::ifstream in(name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

 private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

}  // namespace tulma::testing
