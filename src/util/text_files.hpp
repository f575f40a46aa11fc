#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace tulma {

// A text file the library writes: the parameter echo and the reports. Lines end
// in the platform's text convention (the C library's text mode does it: LF here,
// CR LF on Windows).
class OutputFile {
 public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Creates or replaces the file; false when it cannot be opened.
    bool open_replace(const std::string& name);
    bool is_open() const { return file_ != nullptr; }
    const std::string& name() const { return name_; }

    void write(std::string_view text);
    // Writes text and ends the line.
    void line(std::string_view text);
    // Empties the file so that the next write starts a fresh copy (reports that
    // hold only the latest event).
    void rewind_and_truncate();
    // Hands the buffered bytes to the operating system. False when this or any
    // earlier write, flush or truncation of the file failed: a full disk shows
    // only here, when a buffer finally goes out.
    bool flush();
    // The error number of the first failure, 0 while there has been none.
    int failure() const { return failure_; }

 private:
    void note_failure();

    std::FILE* file_ = nullptr;
    std::string name_;
    int failure_ = 0;
};

// A text file the library reads: loaded whole when opened (the input files are
// small), handed out line by line, and able to step back one line, as the record
// readers do when a line belongs to the next record.
class InputFile {
 public:
    enum class ReadStatus { ok, end_of_file, failure };

    // Opens an existing file; false when it is missing or cannot be read.
    bool open_existing(const std::string& name);
    bool is_open() const { return open_; }
    void close();

    // The next line without its terminator (LF, or CR LF as editors on Windows
    // write it). A last line without a terminator is still a line. Reading a file
    // that is not open is a failure.
    ReadStatus read_line(std::string& line);
    void rewind();
    // Goes back to the start of the line read last.
    void step_back();

 private:
    std::vector<char> bytes_;
    std::size_t pos_ = 0;
    std::size_t last_line_start_ = 0;
    bool open_ = false;
};

}  // namespace tulma
