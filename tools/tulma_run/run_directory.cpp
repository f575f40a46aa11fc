#include "tulma_run/run_directory.hpp"

#include <stdexcept>

namespace tulma::run {
namespace fs = std::filesystem;

namespace {

void copy_input(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    // A run directory beside the inputs may already hold the very file.
    if (fs::exists(to, ec) && fs::equivalent(from, to, ec)) return;
    // Removed first: the Windows run-time refuses to overwrite an existing file
    // even when asked to, and a second run reuses its run directory.
    fs::remove(to, ec);
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec)
        throw std::runtime_error("cannot copy " + from.string() + " to " + to.string() + ": " +
                                 ec.message());
}

}  // namespace

const std::vector<std::string>& library_output_names() {
    static const std::vector<std::string> names = {
        "veg_err.dat",     "veg_out.txt",     "veg_sum_out.dat", "veg_age_out.dat",
        "veg_Ele_out.dat", "veg_Man_out.dat", "veg_GIS_out.dat", "temp_out.txt"};
    return names;
}

void prepare_run_directory(const Scenario& scenario, const fs::path& run_dir) {
    std::error_code ec;
    fs::create_directories(run_dir, ec);
    if (ec)
        throw std::runtime_error("cannot create the run directory " + run_dir.string() + ": " +
                                 ec.message());
    // The snapshots of an earlier run would mix with this one's.
    fs::remove_all(run_dir / kSnapshotFolder, ec);
    if (ec)
        throw std::runtime_error("cannot remove " + (run_dir / kSnapshotFolder).string() + ": " +
                                 ec.message());
    for (const std::string& name : library_output_names()) {
        fs::remove(run_dir / name, ec);
        if (ec)
            throw std::runtime_error("cannot remove " + (run_dir / name).string() + ": " +
                                     ec.message());
    }
    copy_input(scenario.vegetation, run_dir / "vegetation.txt");
    copy_input(scenario.map_shp, run_dir / scenario.map_shp_name);
    copy_input(scenario.map_dbf, run_dir / scenario.map_dbf_name);
    if (scenario.map_prj) copy_input(*scenario.map_prj, run_dir / scenario.map_prj_name);
    if (scenario.temperature) copy_input(*scenario.temperature, run_dir / "temperature.txt");
}

}  // namespace tulma::run
