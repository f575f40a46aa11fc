// The record line reader over a whole file: every data line is fetched with
// read_line, its values taken free-form and checked with check_record, the way
// the parameter and temperature readers use them. Lines named "BAK" are given
// back once, as optional and repeated records are. A stop with a record
// message is a normal outcome; the reader must keep its buffer at 500
// characters, count every physical line and never count items it does not examine.

#include <cstdint>
#include <string>

#include "fuzz_support.hpp"
#include "input/record_file.hpp"
#include "input/record_reader.hpp"
#include "input/value_reader.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tulma::fuzz::enter_scratch_directory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tulma::fuzz::write_file("records.txt",
                            std::string_view(reinterpret_cast<const char*>(data), size));
    tulma::InputFile in;
    tulma::OutputFile echo;
    if (!in.open_existing("records.txt") || !echo.open_replace("records_echo.txt")) {
        tulma::fuzz::fault("scratch files cannot be opened");
    }
    tulma::RecordFile file(in, echo);
    try {
        bool given_back = false;
        std::int32_t last_line_no = 0;
        // Each pass consumes at least one line, or gives one back once.
        for (std::size_t guard = 0; guard <= 2 * size + 2; ++guard) {
            file.next();
            if (file.line().size() != tulma::kLineLength)
                tulma::fuzz::fault("line buffer not 500 characters");
            if (file.line_no() <= last_line_no) tulma::fuzz::fault("line count did not advance");
            if (file.n_items() < 0 ||
                file.n_items() > static_cast<std::int32_t>(tulma::kExaminedLength)) {
                tulma::fuzz::fault("item count outside the examined columns");
            }
            last_line_no = file.line_no();
            const std::string name(file.name());
            if (name == "END") break;
            if (name == "BAK" && !given_back) {
                file.give_back();
                given_back = true;
                last_line_no = file.line_no();
                continue;
            }
            given_back = false;
            // Every other record is checked against the name and count it
            // carries, the rest against a sample record: all three checks run.
            const bool own = (file.line_no() % 2) == 0;
            const std::int32_t expected = own ? file.n_items() : 2;
            tulma::ValueReader reader(file.values());
            double value = 0.0;
            for (std::int32_t k = 0; k < expected && k < 64; ++k) reader.read(value);
            file.check(own ? std::string_view(name) : std::string_view("TMP"), expected,
                       reader.status());
        }
    } catch (const tulma::FatalError&) {
    }
    return 0;
}
