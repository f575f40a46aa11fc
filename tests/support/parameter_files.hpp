#pragma once

#include <string>
#include <vector>

namespace tulma::testing {

// What a test kind switches on; every other process is off.
struct KindSketch {
    bool degree_days = false;  // seed release timed by degree days
    bool roughness = false;
};

// A complete, valid vegetation.txt whose kinds do only what the sketches say.
inline std::string parameter_file(const std::vector<KindSketch>& kinds) {
    const std::string n = std::to_string(kinds.size());
    std::string file = "VPM 1.0 30.0\nVNM " + n + " 1\nVIN \"veg.shp\"\nVIT code\n";
    for (const KindSketch& kind : kinds) {
        file +=
            kind.degree_days ? "MMT 1\nMDD 100.0 5.0 20.0\nMPR 2 5 0.3 0.1\nMEL 0.1\n" : "MMT 0\n";
        file += "GMT 0\n";
        file += kind.roughness ? "RMT 1\nRAM 0 0.05\n" : "RMT 0\n";
        file += "CMT 0\nSMT 0\nBMT 0\nDMT 0\nYMT 0\nIMT 0\nAMT 0\n";
    }
    return file + "END\n";
}

}  // namespace tulma::testing
