#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace tulma::testing {

// Byte builders for polygon maps written straight from numbers: the ESRI
// shapefile main file (.shp) and a dBASE III table (.dbf). Tests use them for
// files no GIS would write (cut short, out of sequence, lying counts) and for
// small maps in tests of the readers that use the polygons.

// Appends the low `bytes` bytes of v, most significant first or last.
inline void put_bytes(std::string& s, std::uint64_t v, int bytes, bool big_endian) {
    for (int k = 0; k < bytes; ++k)
        s.push_back(static_cast<char>(v >> (8 * (big_endian ? bytes - 1 - k : k))));
}
inline void put_be32(std::string& s, std::int32_t v) {
    put_bytes(s, static_cast<std::uint32_t>(v), 4, true);
}
inline void put_le32(std::string& s, std::int32_t v) {
    put_bytes(s, static_cast<std::uint32_t>(v), 4, false);
}
inline void put_le64(std::string& s, double v) {
    std::uint64_t u = 0;
    std::memcpy(&u, &v, sizeof u);
    put_bytes(s, u, 8, false);
}

// One shape record. parts are the 0-based ring starts as the file stores them.
struct ShapeRecord {
    std::vector<std::int32_t> parts;
    std::vector<double> x, y;
    std::vector<double> z, m;  // PolygonZ files only; one per point
    double xmin = 0.0, ymin = 0.0, xmax = 0.0, ymax = 0.0;
    double zmin = 0.0, zmax = 0.0, mmin = 0.0, mmax = 0.0;
};

// A single-ring record from its points (x0, y0, x1, y1, ...), box from the points.
inline ShapeRecord ring_record(const std::vector<double>& xy) {
    ShapeRecord r;
    r.parts = {0};
    for (std::size_t k = 0; k + 1 < xy.size(); k += 2) {
        r.x.push_back(xy[k]);
        r.y.push_back(xy[k + 1]);
    }
    r.xmin = *std::min_element(r.x.begin(), r.x.end());
    r.xmax = *std::max_element(r.x.begin(), r.x.end());
    r.ymin = *std::min_element(r.y.begin(), r.y.end());
    r.ymax = *std::max_element(r.y.begin(), r.y.end());
    return r;
}

// A whole .shp file: the 100-byte header (file code 9994, length in 16-bit
// words, version 1000, the shape type, a zero box) and the records, numbered
// from 1, each with its content length in words.
inline std::string shp_file(std::int32_t shape_type, const std::vector<ShapeRecord>& records) {
    std::string file;
    put_be32(file, 9994);
    file.append(20, '\0');
    put_be32(file, 0);  // file length, set at the end
    put_le32(file, 1000);
    put_le32(file, shape_type);
    file.append(64, '\0');
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ShapeRecord& r = records[i];
        std::string content;
        put_le32(content, shape_type);
        for (double v : {r.xmin, r.ymin, r.xmax, r.ymax}) put_le64(content, v);
        put_le32(content, static_cast<std::int32_t>(r.parts.size()));
        put_le32(content, static_cast<std::int32_t>(r.x.size()));
        for (std::int32_t p : r.parts) put_le32(content, p);
        for (std::size_t k = 0; k < r.x.size(); ++k) {
            put_le64(content, r.x[k]);
            put_le64(content, r.y[k]);
        }
        if (shape_type == 15) {
            for (double v : {r.zmin, r.zmax}) put_le64(content, v);
            for (double v : r.z) put_le64(content, v);
            for (double v : {r.mmin, r.mmax}) put_le64(content, v);
            for (double v : r.m) put_le64(content, v);
        }
        put_be32(file, static_cast<std::int32_t>(i + 1));
        put_be32(file, static_cast<std::int32_t>(content.size() / 2));
        file += content;
    }
    std::string words;
    put_be32(words, static_cast<std::int32_t>(file.size() / 2));
    return file.replace(24, 4, words);
}

struct DbfField {
    std::string name;  // at most 11 characters, zero-padded in the file
    char type = 'C';
    std::uint8_t length = 10;
};

// A whole dBASE III table: header length 33 + 32 per field, record length 1 +
// the field lengths, every value left-aligned and blank-padded (cut to its
// field), each record after a blank deletion flag, then the 0x1A end mark.
inline std::string dbf_file(const std::vector<DbfField>& fields,
                            const std::vector<std::vector<std::string>>& records) {
    std::uint64_t record_length = 1;
    for (const DbfField& f : fields) record_length += f.length;
    std::string file = "\x03\x7e\x0c\x05";  // dBASE III, last update 2026-12-05
    put_le32(file, static_cast<std::int32_t>(records.size()));
    put_bytes(file, 33 + 32 * fields.size(), 2, false);
    put_bytes(file, record_length, 2, false);
    file.append(20, '\0');
    for (const DbfField& f : fields) {
        std::string d(32, '\0');
        d.replace(0, f.name.size(), f.name);
        d[11] = f.type;
        d[16] = static_cast<char>(f.length);
        file += d;
    }
    file.push_back('\x0d');
    for (const std::vector<std::string>& values : records) {
        file.push_back(' ');
        for (std::size_t k = 0; k < fields.size(); ++k) {
            std::string v = k < values.size() ? values[k] : std::string();
            v.resize(fields[k].length, ' ');
            file += v;
        }
    }
    return file + '\x1a';
}

// A table of one character field CODE (width 10) holding the given codes.
inline std::string code_table(const std::vector<std::string>& codes) {
    std::vector<std::vector<std::string>> records;
    for (const std::string& c : codes) records.push_back({c});
    return dbf_file({{"CODE", 'C', 10}}, records);
}

// Writes base.shp and base.dbf: one unit square per code, side by side from
// the origin, the codes in a field CODE. For tests whose parameter file names a
// map that only needs to be readable.
inline void write_map(const std::string& base, const std::vector<std::string>& codes) {
    std::vector<ShapeRecord> squares;
    for (std::size_t k = 0; k < codes.size(); ++k) {
        const double x = static_cast<double>(k);
        squares.push_back(ring_record({x, 0, x, 1, x + 1, 1, x + 1, 0, x, 0}));
    }
    std::ofstream(base + ".shp", std::ios::binary) << shp_file(5, squares);
    std::ofstream(base + ".dbf", std::ios::binary) << code_table(codes);
}

}  // namespace tulma::testing
