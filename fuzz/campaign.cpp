// Process-level campaign: whole input sets, mutated, run through the built
// library's exported entry point in a child process each, as a host runs it.
//
//   campaign --library LIB --sets DIR --work DIR [--runs N] [--seed S]
//            [--kinds vegetation,temperature,shp,dbf,host] [--time-limit SEC]
//            [--failures DIR] [--replay RUN] [--tally N]
//
// DIR/<name>/ holds a base set: vegetation.txt (naming the map "map.shp"),
// temperature.txt, map.shp, map.dbf. Run r takes base set r mod the number of
// sets, mutates one input file kind (in turn: the parameter file, the
// temperature series, the map's .shp, its .dbf, or, for "host", the host's
// arrays with values far from the usual), builds a random host model within the
// host contract (reaches, cross sections, points, roughness sections that each
// get their first point, LEV ranges, a rising clock, water levels and scour
// values changing from call to call) and plays it in a forked child with a
// time limit. The library is loaded once, before the children are forked.
//
// Each run ends in one of:
//   completed  every call returned
//   stopped    the process ended with status 0 and a message on standard output
//   failure    a signal, the time limit, a non-zero status (sanitizer reports
//              exit with 86), a sanitizer report on standard error, a stop with
//              nothing on standard output, an exception that escaped the
//              library's own stops ("unexpected internal failure"), or a
//              non-finite roughness handed to the host
// Every run is reproduced by its number and the seed (--replay RUN). The last
// line of the output reads "N passed, M failed" (failures counted as failed).

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "host_model/host_model.hpp"

extern "C" const char* __asan_default_options() {
    // Findings end the child with a status of their own; the library keeps its
    // state until the process ends by design, so leaks are not findings.
    return "exitcode=86:detect_leaks=0:allocator_may_return_null=0:max_allocation_size_mb=2048";
}
extern "C" const char* __ubsan_default_options() {
    return "halt_on_error=1:print_stacktrace=1:exitcode=87";
}

namespace fs = std::filesystem;
using tulma::host::CrossSectionInput;
using tulma::host::HostModel;
using tulma::host::ModelInput;
using Rng = std::mt19937_64;

namespace {

const char* const kFileNames[] = {"vegetation.txt", "temperature.txt", "map.shp", "map.dbf"};
enum Kind { kVegetation = 0, kTemperature = 1, kShp = 2, kDbf = 3, kHost = 4 };
const char* const kKindNames[] = {"vegetation", "temperature", "shp", "dbf", "host"};

struct InputSet {
    std::string name;
    std::string files[4];
    double box[4] = {0, 0, 1, 1};  // the map's extent, from the .shp header
};

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::int64_t pick(Rng& rng, std::int64_t lo, std::int64_t hi) {
    return std::uniform_int_distribution<std::int64_t>(lo, hi)(rng);
}
double uniform(Rng& rng, double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(rng);
}
bool chance(Rng& rng, double p) { return uniform(rng, 0.0, 1.0) < p; }
template <class T>
const T& one_of(Rng& rng, const std::vector<T>& v) {
    return v[static_cast<std::size_t>(pick(rng, 0, static_cast<std::int64_t>(v.size()) - 1))];
}

// ---- text mutations ---------------------------------------------------------

const std::vector<std::string> kRecordNames = {
    "VPM", "VNM", "LEV", "VIN", "VIT", "VIV", "VVN", "MMT", "MDY", "MDD", "MPR", "MPW", "MLT",
    "MEL", "GMT", "GST", "GSM", "GCP", "GCM", "GRT", "GRS", "RMT", "RAM", "CMT", "CID", "CMP",
    "CSH", "SMT", "SID", "SVC", "BMT", "BID", "BDP", "DMT", "DID", "DTM", "YMT", "YID", "YTM",
    "YWT", "YMN", "IMT", "IID", "AMT", "AID", "ATM", "END", "TMP", "COM", "vnm", "tmp", "end"};

const std::vector<std::string> kValues = {
    "0",         "1",     "2",      "3",        "-1",         "4",           "5",
    "-5",        "20",    "21",     "30",       "31",         "40",          "41",
    "80",        "81",    "366",    "367",      "2147483647", "-2147483648", "2147483648",
    "999999999", "1e308", "-1e308", "1.8e308",  "1e-320",     "1e-300",      "0.0",
    "-0.0",      "0.5",   "0.99",   "0.990001", "1.0",        "1.01",        "1.0099999",
    "1.02",      "999.9", "1000",   "1000.5",   "1e10",       "1e12",        "-1e10",
    "2.5D3",     "1.5",   "NaN",    "Inf",      "abc",        ".T.",         ".F.",
    "T",         "\"\"",  "''",     "\"A B\"",  "/",          ",",           ",,",
    "1,2",       "#",     "!",      "\"",       "1.5.3",      "3*1",         "+",
    "-",         "e5",    "1e",     "map",      "\"map.shp\""};

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t nl = text.find('\n', start);
        if (nl == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, nl - start));
        start = nl + 1;
    }
    return lines;
}

std::string join(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s.append(l).push_back('\n');
    return s;
}

std::vector<std::size_t> data_lines(const std::vector<std::string>& lines) {
    std::vector<std::size_t> idx;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].empty() && lines[i][0] != '*' && lines[i][0] != '!') idx.push_back(i);
    }
    return idx;
}

// Splits a data line into the name and its blank-separated tokens.
std::vector<std::string> tokens_of(const std::string& line) {
    std::vector<std::string> t;
    std::istringstream in(line);
    for (std::string w; in >> w;) t.push_back(w);
    return t;
}

std::string random_value(Rng& rng) {
    if (chance(rng, 0.6)) return one_of(rng, kValues);
    std::ostringstream s;
    s.precision(static_cast<int>(pick(rng, 1, 17)));
    s << uniform(rng, -1000.0, 1000.0);
    return s.str();
}

void mutate_text(std::string& text, Rng& rng, bool temperature) {
    std::vector<std::string> lines = lines_of(text);
    if (lines.empty()) lines.push_back("END");
    const std::vector<std::size_t> data = data_lines(lines);
    const auto any_line = [&]() {
        return static_cast<std::size_t>(pick(rng, 0, static_cast<std::int64_t>(lines.size()) - 1));
    };
    const auto a_data_line = [&]() { return data.empty() ? any_line() : one_of(rng, data); };
    switch (pick(rng, 0, 13)) {
        case 0:  // replace a value
        case 1:
        case 2: {
            std::string& line = lines[a_data_line()];
            std::vector<std::string> t = tokens_of(line);
            if (t.size() < 2) {
                line += " " + random_value(rng);
                break;
            }
            t[static_cast<std::size_t>(pick(rng, 1, static_cast<std::int64_t>(t.size()) - 1))] =
                random_value(rng);
            line.clear();
            for (std::size_t k = 0; k < t.size(); ++k) line += (k ? "   " : "") + t[k];
            break;
        }
        case 3: {  // add or drop a value
            std::string& line = lines[a_data_line()];
            std::vector<std::string> t = tokens_of(line);
            if (chance(rng, 0.5) && t.size() > 1)
                t.pop_back();
            else
                t.push_back(random_value(rng));
            line.clear();
            for (std::size_t k = 0; k < t.size(); ++k) line += (k ? " " : "") + t[k];
            break;
        }
        case 4:  // delete a line
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(a_data_line()));
            break;
        case 5: {  // repeat a line, sometimes past a table's capacity
            const std::size_t i = a_data_line();
            const std::int64_t times =
                one_of(rng, std::vector<std::int64_t>{1, 2, 39, 40, 41, 79, 80, 81});
            const std::string copy = lines[i];
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(i),
                         static_cast<std::size_t>(times), copy);
            break;
        }
        case 6: {  // swap two lines
            std::swap(lines[a_data_line()], lines[a_data_line()]);
            break;
        }
        case 7: {  // rename a record
            std::string& line = lines[a_data_line()];
            const std::string name =
                temperature && chance(rng, 0.5) ? "TMP" : one_of(rng, kRecordNames);
            line = line.size() >= 3 ? name + line.substr(3) : name;
            break;
        }
        case 8: {  // a new record line
            std::string line = temperature ? "TMP" : one_of(rng, kRecordNames);
            const std::int64_t n = pick(rng, 0, 14);
            for (std::int64_t k = 0; k < n; ++k) line += " " + random_value(rng);
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(any_line()), line);
            break;
        }
        case 9: {  // a line the line rules refuse or pass over
            const std::vector<std::string> odd = {"",
                                                  " VPM 1 1",
                                                  "\tTMP 0 1",
                                                  "* note",
                                                  "COM note",
                                                  "com x",
                                                  "VIV \"open",
                                                  "TMP 0 1 # x",
                                                  "TMP 0 1 ! x",
                                                  "\r",
                                                  std::string(600, 'X'),
                                                  "VIV " + std::string(400, 'A') + " 1 1"};
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(any_line()), one_of(rng, odd));
            break;
        }
        case 10: {  // cut the file short
            std::string s = join(lines);
            s.resize(static_cast<std::size_t>(pick(rng, 0, static_cast<std::int64_t>(s.size()))));
            text = s;
            return;
        }
        case 11: {  // a few bytes
            std::string s = join(lines);
            const std::int64_t n = pick(rng, 1, 4);
            for (std::int64_t k = 0; k < n && !s.empty(); ++k) {
                const auto at =
                    static_cast<std::size_t>(pick(rng, 0, static_cast<std::int64_t>(s.size()) - 1));
                switch (pick(rng, 0, 2)) {
                    case 0:
                        s[at] = static_cast<char>(pick(rng, 0, 255));
                        break;
                    case 1:
                        s.erase(at, 1);
                        break;
                    default: {
                        static constexpr char kMeaningful[] = " ,/\"'!#\t\n0123456789.-+eEdDTF";
                        s.insert(at, 1, kMeaningful[pick(rng, 0, sizeof kMeaningful - 2)]);
                    }
                }
            }
            text = s;
            return;
        }
        case 12: {  // separators
            std::string& line = lines[a_data_line()];
            for (char& c : line) {
                if (c == ' ' && chance(rng, 0.3))
                    c = one_of(rng, std::vector<char>{',', '\t', '/'});
            }
            break;
        }
        default: {  // case of the record name
            std::string& line = lines[a_data_line()];
            for (std::size_t k = 0; k < 3 && k < line.size(); ++k) {
                if (chance(rng, 0.5))
                    line[k] = static_cast<char>(std::tolower(static_cast<unsigned char>(line[k])));
            }
        }
    }
    text = join(lines);
    if (chance(rng, 0.1) && !text.empty()) text.pop_back();  // no final newline
    if (chance(rng, 0.05)) {                                 // Windows line ends
        std::string crlf;
        for (char c : text) {
            if (c == '\n') crlf += '\r';
            crlf += c;
        }
        text = crlf;
    }
}

// ---- binary mutations -------------------------------------------------------

void put32(std::string& s, std::size_t at, std::uint32_t v, bool big) {
    for (int k = 0; k < 4; ++k) {
        const int shift = big ? 8 * (3 - k) : 8 * k;
        s[at + static_cast<std::size_t>(k)] = static_cast<char>((v >> shift) & 0xFF);
    }
}

std::uint32_t get32(const std::string& s, std::size_t at, bool big) {
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k) {
        const auto b = static_cast<std::uint32_t>(
            static_cast<unsigned char>(s[at + static_cast<std::size_t>(k)]));
        v |= big ? b << (8 * (3 - k)) : b << (8 * k);
    }
    return v;
}

std::uint32_t interesting_int(Rng& rng) {
    static const std::vector<std::int64_t> v = {
        0,          1,    2,    3,     4,     5,     15,     -1,     -2,         7,
        8,          30,   31,   32,    33,    64,    65,     100,    128,        129,
        255,        256,  4096, 65535, 65536, 99999, 100000, 100001, 0x7FFFFFFF, -0x7FFFFFFF - 1,
        0x3FFFFFFF, 1000, 9994};
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(one_of(rng, v)));
}

void put_double(std::string& s, std::size_t at, double d) {
    std::uint64_t u = 0;
    std::memcpy(&u, &d, sizeof u);
    for (int k = 0; k < 8; ++k)
        s[at + static_cast<std::size_t>(k)] = static_cast<char>((u >> (8 * k)) & 0xFF);
}

// The byte offsets of the .shp records' headers.
std::vector<std::size_t> shp_records(const std::string& s) {
    std::vector<std::size_t> at;
    std::size_t pos = 100;
    while (pos + 8 <= s.size() && at.size() < 100000) {
        at.push_back(pos);
        const std::uint32_t words = get32(s, pos + 4, true);
        if (words > s.size()) break;
        pos += 8 + 2 * static_cast<std::size_t>(words);
    }
    return at;
}

void mutate_binary(std::string& s, Rng& rng, bool shp) {
    const std::int64_t count = pick(rng, 1, 3);
    for (std::int64_t m = 0; m < count; ++m) {
        if (s.size() < 16) {
            s.append(static_cast<std::size_t>(pick(rng, 1, 64)),
                     static_cast<char>(pick(rng, 0, 255)));
            continue;
        }
        const auto random_at = [&](std::size_t width) {
            return static_cast<std::size_t>(
                pick(rng, 0, static_cast<std::int64_t>(s.size() - width)));
        };
        switch (pick(rng, 0, 7)) {
            case 0:  // a byte
                s[random_at(1)] = static_cast<char>(pick(rng, 0, 255));
                break;
            case 1:  // a 32-bit word, either order
                put32(s, random_at(4) & ~std::size_t{3}, interesting_int(rng), chance(rng, 0.5));
                break;
            case 2: {  // a real
                const std::vector<double> v = {0.0,    -0.0, 1.0,      -1.0,      1e308,
                                               -1e308, NAN,  INFINITY, -INFINITY, 4.9e-324,
                                               1e-300, 0.5,  1e15};
                put_double(s, random_at(8), one_of(rng, v));
                break;
            }
            case 3:  // cut short
                s.resize(
                    static_cast<std::size_t>(pick(rng, 0, static_cast<std::int64_t>(s.size()))));
                break;
            case 4: {  // repeat or drop a chunk
                const std::size_t at = random_at(1);
                const std::size_t len = std::min<std::size_t>(
                    s.size() - at, static_cast<std::size_t>(pick(rng, 1, 200)));
                if (chance(rng, 0.5))
                    s.insert(at, s.substr(at, len));
                else
                    s.erase(at, len);
                break;
            }
            default: {  // a field the reader relies on
                if (shp) {
                    const std::vector<std::size_t> recs = shp_records(s);
                    const std::size_t header_fields[] = {24, 32,
                                                         28};  // length, shape type, version
                    if (recs.empty() || chance(rng, 0.2)) {
                        const std::size_t f = header_fields[pick(rng, 0, 2)];
                        if (f + 4 <= s.size()) put32(s, f, interesting_int(rng), f == 24);
                        break;
                    }
                    const std::size_t r = one_of(rng, recs);
                    // number, content length (big-endian); type, parts, points,
                    // first part index (little-endian)
                    const std::size_t offsets[] = {0, 4, 8, 44, 48, 52};
                    const std::size_t o = offsets[pick(rng, 0, 5)];
                    if (r + o + 4 <= s.size()) put32(s, r + o, interesting_int(rng), o < 8);
                } else {
                    // record count, header length, record length, a field's length and name
                    const std::size_t which = static_cast<std::size_t>(pick(rng, 0, 4));
                    const std::uint32_t v = interesting_int(rng);
                    if (which == 0)
                        put32(s, 4, v, false);
                    else if (which == 1) {
                        s[8] = static_cast<char>(v & 0xFF);
                        s[9] = static_cast<char>((v >> 8) & 0xFF);
                    } else if (which == 2) {
                        s[10] = static_cast<char>(v & 0xFF);
                        s[11] = static_cast<char>((v >> 8) & 0xFF);
                    } else if (which == 3 && s.size() > 48)
                        s[48] = static_cast<char>(v & 0xFF);
                    else if (s.size() > 43)
                        s[32 + static_cast<std::size_t>(pick(rng, 0, 10))] =
                            static_cast<char>(pick(rng, 0, 255));
                }
            }
        }
    }
}

// ---- the host ---------------------------------------------------------------

struct Call {
    double time = 0.0;
    double level_shift = 0.0;  // water level relative to each point's bed
    double fringe = 0.3;
    double scour = 0.0;
};

struct HostPlan {
    ModelInput model;
    std::vector<Call> calls;
    std::vector<double> level_noise;  // per point, added on each call
};

// A host that keeps the contract: sizes and indices consistent, stations
// rising along each cross section, every roughness section with its own first
// point, a clock that never runs back. `wild` stretches the values (beds,
// coordinates, times and levels far from a river's) without leaving the contract.
HostPlan random_host(Rng& rng, const InputSet& set, bool wild) {
    HostPlan plan;
    ModelInput& m = plan.model;
    m.metric = chance(rng, 0.5);
    m.jday0 = wild ? static_cast<std::int32_t>(
                         one_of(rng, std::vector<std::int64_t>{0, 1, 2299161, 2440588, 2451545,
                                                               5373484, 2488069}))
                   : static_cast<std::int32_t>(pick(rng, 2440588, 2469807));
    const double scale = wild ? one_of(rng, std::vector<double>{1e-6, 1.0, 1e3, 1e6}) : 1.0;
    const std::int64_t n_reach = pick(rng, 1, 3);
    const double bx0 = set.box[0], by0 = set.box[1];
    const double bw = std::max(1e-9, set.box[2] - set.box[0]),
                 bh = std::max(1e-9, set.box[3] - set.box[1]);
    std::int32_t largest = 0;
    for (std::int64_t r = 0; r < n_reach; ++r) {
        tulma::host::ReachInput reach;
        const std::int64_t n_xc = pick(rng, 1, 4);
        for (std::int64_t i = 0; i < n_xc; ++i) {
            CrossSectionInput xc;
            const std::int64_t npt = chance(rng, 0.03) ? 0 : pick(rng, 1, 14);
            double sta = uniform(rng, -50.0, 50.0) * scale;
            const double y = by0 + uniform(rng, -0.2, 1.2) * bh;
            for (std::int64_t k = 0; k < npt; ++k) {
                const double bed = 100.0 * scale + uniform(rng, -3.0, 3.0) * scale;
                const double x = bx0 + uniform(rng, -0.2, 1.2) * bw;
                xc.points.push_back({sta, bed, x, y + uniform(rng, -0.05, 0.05) * bh});
                sta += (chance(rng, 0.05) ? 0.0 : uniform(rng, 0.1, 20.0)) * scale;
            }
            largest = std::max(largest, static_cast<std::int32_t>(npt));
            xc.lbank_k = static_cast<std::int32_t>(pick(rng, 1, std::max<std::int64_t>(1, npt)));
            xc.rbank_k = static_cast<std::int32_t>(
                pick(rng, xc.lbank_k, std::max<std::int64_t>(xc.lbank_k, npt)));
            xc.xc_dist = chance(rng, 0.1) ? 0.0 : uniform(rng, 1.0, 500.0) * scale;
            xc.len_ch = uniform(rng, 0.0, 500.0) * scale;
            xc.len_lob = uniform(rng, 0.0, 500.0) * scale;
            xc.len_rob = uniform(rng, 0.0, 500.0) * scale;
            xc.ref_ele = 100.0 * scale + uniform(rng, -5.0, 2.0) * scale;
            // Within the classes the base sets give (1 or 3) unless the host is wild.
            xc.xc_class = static_cast<std::int32_t>(wild               ? pick(rng, -1, 45)
                                                    : chance(rng, 0.8) ? 1
                                                                       : pick(rng, 1, 3));
            // Roughness sections start at distinct points, in order.
            if (npt > 0) {
                const std::int64_t n_rr = pick(rng, 0, std::min<std::int64_t>(npt, 30));
                std::vector<std::int64_t> starts;
                for (std::int64_t k = 0; k < npt; ++k) starts.push_back(k);
                std::shuffle(starts.begin(), starts.end(), rng);
                starts.resize(static_cast<std::size_t>(n_rr));
                std::sort(starts.begin(), starts.end());
                for (std::int64_t k : starts) {
                    const double at = xc.points[static_cast<std::size_t>(k)].sta;
                    // A section starting between two points takes the later one,
                    // unless two points share a station.
                    const bool between = k > 0 && chance(rng, 0.3) &&
                                         xc.points[static_cast<std::size_t>(k - 1)].sta < at;
                    const double start =
                        between ? 0.5 * (at + xc.points[static_cast<std::size_t>(k - 1)].sta) : at;
                    xc.rough.push_back({start, uniform(rng, 0.01, 0.2)});
                }
                // Equal stations would let one point start two sections.
                bool distinct = true;
                for (std::size_t s = 1; s < xc.rough.size(); ++s) {
                    if (!(xc.rough[s].start > xc.rough[s - 1].start)) distinct = false;
                }
                if (!distinct) xc.rough.clear();
            }
            const std::int64_t n_lev = chance(rng, 0.3) ? pick(rng, 1, 3) : 0;
            for (std::int64_t k = 0; k < n_lev && npt > 0; ++k) {
                const double a = xc.points[static_cast<std::size_t>(pick(rng, 0, npt - 1))].sta;
                xc.lev.push_back({a, a + uniform(rng, 0.0, 30.0) * scale});
            }
            reach.sections.push_back(std::move(xc));
        }
        m.reaches.push_back(std::move(reach));
    }
    m.lev_lower_bound = one_of(rng, std::vector<std::int64_t>{1, 1, 0, -3});
    std::int32_t n_xc_all = 0;
    for (const auto& r : m.reaches) n_xc_all += static_cast<std::int32_t>(r.sections.size());
    for (std::int32_t i = 1; i <= n_xc_all; ++i) {
        if (chance(rng, 0.5)) m.gis_xc.push_back(i);
    }
    if (chance(rng, 0.2)) m.max_npt = largest + static_cast<std::int32_t>(pick(rng, 1, 3));

    const std::int64_t n_calls = pick(rng, 1, 12);
    double t = chance(rng, 0.7) ? 0.0
                                : (wild ? one_of(rng, std::vector<double>{1e6, 1e9, 5e10})
                                        : uniform(rng, 0.0, 1e5));
    for (std::int64_t c = 0; c < n_calls; ++c) {
        Call call;
        call.time = t;
        call.level_shift = uniform(rng, -4.0, 3.0) * scale;
        call.fringe = uniform(rng, 0.0, 1.0) * scale;
        call.scour = wild ? one_of(rng, std::vector<double>{0.0, 1e-300, 1e300, -1e300, 5.0})
                          : uniform(rng, 0.0, 10.0);
        plan.calls.push_back(call);
        const double step = one_of(
            rng, std::vector<double>{0.0, 1.0, 12.0, 24.0, 24.0, 48.0, 24.0 * 30, 24.0 * 365});
        t += wild && chance(rng, 0.2) ? uniform(rng, 0.0, 1e7) : step * uniform(rng, 0.5, 2.0);
    }
    return plan;
}

// ---- one run ----------------------------------------------------------------

enum class Outcome { completed, stopped, failure };

struct Result {
    Outcome outcome = Outcome::failure;
    std::string why;
    std::string message;  // the last line on standard output, for the tally of stops
};

using Entry = tulma_entry_fn;

[[noreturn]] void child(const fs::path& dir, const InputSet& set, const HostPlan& plan, Entry entry,
                        unsigned time_limit) {
    if (::chdir(dir.c_str()) != 0) std::_Exit(93);
    for (int f = 0; f < 4; ++f) {
        std::ofstream(kFileNames[f], std::ios::binary) << set.files[f];
    }
    if (std::freopen("stdout", "w", stdout) == nullptr) std::_Exit(94);
    if (std::freopen("stderr", "w", stderr) == nullptr) std::_Exit(95);
    const int progress = ::open("progress", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::alarm(time_limit);
    HostModel model(plan.model);
    for (std::size_t c = 0; c < plan.calls.size(); ++c) {
        const Call& call = plan.calls[c];
        std::size_t p = 0;
        for (std::int32_t j = 1; j <= model.n_xc(); ++j) {
            for (std::int32_t k = 1; k <= model.npt(j); ++k, ++p) {
                const double noise =
                    plan.level_noise.empty() ? 0.0 : plan.level_noise[p % plan.level_noise.size()];
                model.z_gw(k, j) = model.ele(k, j) + call.level_shift + noise;
                model.cap_ele(k, j) = model.z_gw(k, j) + call.fringe;
                model.scour_var(k, j) = call.scour * (1.0 + 0.1 * static_cast<double>(k));
            }
        }
        model.call(entry, call.time);
        for (double n : model.pt_rr_array()) {
            if (!std::isfinite(n)) {
                (void)!::write(progress, "garbage\n", 8);
                std::fflush(stdout);
                std::_Exit(0);
            }
        }
        const std::string mark = std::to_string(c + 1) + "\n";
        (void)!::write(progress, mark.data(), mark.size());
    }
    (void)!::write(progress, "end\n", 4);
    std::fflush(stdout);
    std::exit(0);
}

Result run_one(const fs::path& dir, const InputSet& set, const HostPlan& plan, Entry entry,
               unsigned time_limit) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) child(dir, set, plan, entry, time_limit);
    int status = 0;
    ::waitpid(pid, &status, 0);

    Result r;
    const std::string out = slurp(dir / "stdout");
    const std::string err = slurp(dir / "stderr");
    const std::string progress = slurp(dir / "progress");
    if (WIFSIGNALED(status)) {
        r.why =
            WTERMSIG(status) == SIGALRM ? "time-out" : "signal " + std::to_string(WTERMSIG(status));
    } else if (WEXITSTATUS(status) != 0) {
        r.why = "exit status " + std::to_string(WEXITSTATUS(status));
    } else if (err.find("Sanitizer") != std::string::npos ||
               err.find("runtime error") != std::string::npos) {
        r.why = "sanitizer report";
    } else if (out.find("unexpected internal failure") != std::string::npos) {
        r.why = "an exception escaped the library's stops";
    } else if (progress.find("garbage") != std::string::npos) {
        r.why = "non-finite roughness handed to the host";
    } else if (progress.find("end") != std::string::npos) {
        r.outcome = Outcome::completed;
    } else if (out.empty()) {
        r.why = "the process ended without a message";
    } else {
        r.outcome = Outcome::stopped;
        std::string text = out.substr(0, out.size() - (out.back() == '\n' ? 1 : 0));
        text = text.substr(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
        // Numbers and file names vary from run to run; the tally wants the text.
        for (char& c : text) {
            if (c >= '0' && c <= '9') c = '9';
        }
        r.message = text.substr(0, 72);
    }
    if (r.outcome == Outcome::failure) {
        // What was written last is the clue.
        const std::string tail = err.size() > 2000 ? err.substr(err.size() - 2000) : err;
        std::ofstream(dir / "why") << r.why << "\n" << tail;
    }
    return r;
}

InputSet load_set(const fs::path& dir) {
    InputSet s;
    s.name = dir.filename().string();
    for (int f = 0; f < 4; ++f) s.files[f] = slurp(dir / kFileNames[f]);
    const std::string& shp = s.files[kShp];
    if (shp.size() >= 100) {
        for (int k = 0; k < 4; ++k) {
            double v = 0.0;
            std::memcpy(&v, shp.data() + 36 + 8 * k, 8);
            s.box[k] = v;
        }
    }
    if (!(s.box[2] > s.box[0]) || !(s.box[3] > s.box[1])) {
        s.box[0] = s.box[1] = 0.0;
        s.box[2] = s.box[3] = 1.0;
    }
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> opt = {{"--runs", "100"},
                                              {"--seed", "1"},
                                              {"--time-limit", "30"},
                                              {"--kinds", "vegetation,temperature,shp,dbf,host"}};
    for (int i = 1; i + 1 < argc; i += 2) opt[argv[i]] = argv[i + 1];
    if (!opt.count("--library") || !opt.count("--sets") || !opt.count("--work")) {
        std::fprintf(stderr,
                     "usage: campaign --library LIB --sets DIR --work DIR [--runs N] [--seed S] "
                     "[--kinds LIST] [--time-limit SEC] [--failures DIR] [--replay RUN]\n");
        return 2;
    }
    std::vector<InputSet> sets;
    for (const auto& e : fs::directory_iterator(opt["--sets"])) {
        if (e.is_directory()) sets.push_back(load_set(e.path()));
    }
    std::sort(sets.begin(), sets.end(),
              [](const InputSet& a, const InputSet& b) { return a.name < b.name; });
    if (sets.empty()) {
        std::fprintf(stderr, "no input sets in %s\n", opt["--sets"].c_str());
        return 2;
    }
    std::vector<int> kinds;
    {
        std::istringstream list(opt["--kinds"]);
        for (std::string k; std::getline(list, k, ',');) {
            for (int i = 0; i < 5; ++i) {
                if (k == kKindNames[i]) kinds.push_back(i);
            }
        }
    }
    if (kinds.empty()) return 2;

    void* lib = ::dlopen(fs::absolute(opt["--library"]).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) {
        std::fprintf(stderr, "dlopen: %s\n", ::dlerror());
        return 2;
    }
    auto entry = reinterpret_cast<Entry>(::dlsym(lib, "MAIN_VEG_TULMA"));
    auto alias = reinterpret_cast<Entry>(::dlsym(lib, "VEG_MAIN_MOD_mp_MAIN_VEG"));
    if (entry == nullptr || alias == nullptr) return 2;

    const std::uint64_t seed = std::stoull(opt["--seed"]);
    const auto time_limit = static_cast<unsigned>(std::stoul(opt["--time-limit"]));
    const fs::path work = fs::absolute(opt["--work"]);
    const fs::path failures =
        opt.count("--failures") ? fs::absolute(opt["--failures"]) : work / "failures";
    std::int64_t first = 0, last = std::stoll(opt["--runs"]) - 1;
    if (opt.count("--replay")) first = last = std::stoll(opt["--replay"]);

    std::map<std::string, std::int64_t> counts;
    std::map<std::string, std::int64_t> messages;
    std::int64_t failed = 0, passed = 0;
    for (std::int64_t run = first; run <= last; ++run) {
        Rng rng(seed * 0x9E3779B97F4A7C15ULL + static_cast<std::uint64_t>(run));
        const int kind = kinds[static_cast<std::size_t>(run) % kinds.size()];
        InputSet set =
            sets[static_cast<std::size_t>(run / static_cast<std::int64_t>(kinds.size())) %
                 sets.size()];
        const std::int64_t rounds = pick(rng, 1, 3);
        for (std::int64_t k = 0; k < rounds; ++k) {
            switch (kind) {
                case kVegetation:
                    mutate_text(set.files[kVegetation], rng, false);
                    break;
                case kTemperature:
                    mutate_text(set.files[kTemperature], rng, true);
                    break;
                case kShp:
                    mutate_binary(set.files[kShp], rng, true);
                    break;
                case kDbf:
                    mutate_binary(set.files[kDbf], rng, false);
                    break;
                default:
                    break;
            }
        }
        HostPlan plan = random_host(rng, set, kind == kHost);
        if (kind == kHost) {
            for (int k = 0; k < 7; ++k) plan.level_noise.push_back(uniform(rng, -2.0, 2.0));
        }
        const fs::path dir = work / ("run" + std::to_string(run % 4));
        const Result r = run_one(dir, set, plan, chance(rng, 0.5) ? entry : alias, time_limit);
        const std::string label = std::string(kKindNames[kind]) + " " +
                                  (r.outcome == Outcome::completed ? "completed"
                                   : r.outcome == Outcome::stopped ? "stopped"
                                                                   : "failure");
        ++counts[label];
        if (r.outcome == Outcome::stopped) ++messages[r.message];
        if (r.outcome == Outcome::failure) {
            ++failed;
            const fs::path keep = failures / ("run" + std::to_string(run));
            fs::remove_all(keep);
            fs::create_directories(keep.parent_path());
            fs::rename(dir, keep);
            std::printf("FAILURE run %lld (seed %llu, %s, base %s): %s; kept in %s\n",
                        static_cast<long long>(run), static_cast<unsigned long long>(seed),
                        kKindNames[kind], set.name.c_str(), r.why.c_str(), keep.c_str());
            std::fflush(stdout);
        } else {
            ++passed;
        }
    }
    if (opt.count("--tally")) {
        std::vector<std::pair<std::int64_t, std::string>> by_count;
        for (const auto& [text, n] : messages) by_count.emplace_back(n, text);
        std::sort(by_count.rbegin(), by_count.rend());
        std::printf("last line of the stops (digits as 9), by count:\n");
        for (std::size_t i = 0;
             i < by_count.size() && i < static_cast<std::size_t>(std::stoi(opt["--tally"])); ++i) {
            std::printf("%8lld  %s\n", static_cast<long long>(by_count[i].first),
                        by_count[i].second.c_str());
        }
    }
    for (const auto& [label, n] : counts)
        std::printf("%-28s %lld\n", label.c_str(), static_cast<long long>(n));
    std::printf("%lld passed, %lld failed\n", static_cast<long long>(passed),
                static_cast<long long>(failed));
    for (int d = 0; d < 4; ++d) fs::remove_all(work / ("run" + std::to_string(d)));
    return failed == 0 ? 0 : 1;
}
