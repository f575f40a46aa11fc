#include "util/text_files.hpp"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tulma {

OutputFile::~OutputFile() {
    if (file_ != nullptr) std::fclose(file_);
}

bool OutputFile::open_replace(const std::string& name) {
    if (file_ != nullptr && std::fclose(file_) != 0) note_failure();
    name_ = name;
    file_ = std::fopen(name.c_str(), "w");
    if (file_ == nullptr) return false;
    // Reports of large models are long; a big buffer keeps writes few.
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
    return true;
}

void OutputFile::note_failure() {
    if (failure_ == 0) failure_ = errno != 0 ? errno : EIO;
}

void OutputFile::write(std::string_view text) {
    if (file_ == nullptr || text.empty()) return;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) note_failure();
}

void OutputFile::line(std::string_view text) {
    if (file_ == nullptr) return;
    write(text);
    if (std::fputc('\n', file_) == EOF) note_failure();
}

void OutputFile::rewind_and_truncate() {
    if (file_ == nullptr) return;
    // Rewinding forgets the stream's error state, so the flush is judged first.
    if (std::fflush(file_) != 0) note_failure();
    std::rewind(file_);
#ifdef _WIN32
    const bool cut = _chsize(_fileno(file_), 0) == 0;
#else
    const bool cut = ftruncate(fileno(file_), 0) == 0;
#endif
    // A report sent to a device or a pipe (/dev/null, to skip it) has nothing
    // to cut: that is no failure.
    if (!cut && errno != EINVAL) note_failure();
}

bool OutputFile::flush() {
    if (file_ != nullptr && std::fflush(file_) != 0) note_failure();
    return failure_ == 0;
}

bool InputFile::open_existing(const std::string& name) {
    close();
    std::FILE* f = std::fopen(name.c_str(), "rb");
    if (f == nullptr) return false;
    char chunk[1 << 14];
    bool ok = true;
    for (;;) {
        std::size_t got = std::fread(chunk, 1, sizeof chunk, f);
        bytes_.insert(bytes_.end(), chunk, chunk + got);
        if (got < sizeof chunk) {
            ok = std::ferror(f) == 0;  // a directory opens but cannot be read
            break;
        }
    }
    std::fclose(f);
    if (!ok) {
        bytes_.clear();
        return false;
    }
    open_ = true;
    return true;
}

void InputFile::close() {
    bytes_.clear();
    bytes_.shrink_to_fit();
    pos_ = 0;
    last_line_start_ = 0;
    open_ = false;
}

InputFile::ReadStatus InputFile::read_line(std::string& line) {
    line.clear();
    if (!open_) return ReadStatus::failure;
    if (pos_ >= bytes_.size()) {
        // A look-ahead that met the end gives back nothing: the end stays the end.
        last_line_start_ = pos_;
        return ReadStatus::end_of_file;
    }
    last_line_start_ = pos_;
    const char* begin = bytes_.data() + pos_;
    const std::size_t left = bytes_.size() - pos_;
    const void* nl = std::memchr(begin, '\n', left);
    std::size_t len =
        nl != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nl) - begin) : left;
    pos_ += nl != nullptr ? len + 1 : len;
    if (len > 0 && begin[len - 1] == '\r') --len;
    line.assign(begin, len);
    return ReadStatus::ok;
}

void InputFile::rewind() {
    pos_ = 0;
    last_line_start_ = 0;
}

void InputFile::step_back() { pos_ = last_line_start_; }

}  // namespace tulma
