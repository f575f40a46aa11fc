#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/plant_store.hpp"
#include "model/polygon.hpp"
#include "model/shapefile_state.hpp"
#include "model/veg_kind.hpp"
#include "model/work_sharing.hpp"
#include "util/text_files.hpp"

namespace tulma {

// The files of a run. The unit numbers are those the library has always used
// to name its files in messages and documentation.
struct RunFiles {
    static constexpr std::int32_t u_veg = 101;
    static constexpr std::int32_t u_temp = 102;
    static constexpr std::int32_t u_err = 111;
    static constexpr std::int32_t u_out = 112;
    static constexpr std::int32_t u_sum = 113;
    static constexpr std::int32_t u_age = 114;
    static constexpr std::int32_t u_ele = 115;
    static constexpr std::int32_t u_man = 116;
    static constexpr std::int32_t u_gis = 117;
    static constexpr std::int32_t u_temp_out = 118;

    InputFile veg;        // vegetation.txt
    InputFile temp;       // temperature.txt
    OutputFile err;       // veg_err.dat
    OutputFile out;       // veg_out.txt
    OutputFile sum;       // veg_sum_out.dat
    OutputFile age;       // veg_age_out.dat
    OutputFile ele;       // veg_Ele_out.dat
    OutputFile man;       // veg_Man_out.dat
    OutputFile gis;       // veg_GIS_out.dat
    OutputFile temp_out;  // temp_out.txt

    // Hands every file's buffered bytes to the operating system, so that the
    // files on disk are complete between host calls (a host may copy them, and
    // a host that crashes later keeps them). A file that could not be written
    // stops the run, from `routine`, naming the file.
    void flush_all(std::string_view routine);
    // The same for a run that is already stopping with a message of its own:
    // whatever can still be written is, and nothing more is said.
    void flush_all_unchecked();

 private:
    std::array<OutputFile*, 8> outputs() {
        return {&err, &out, &sum, &age, &ele, &man, &gis, &temp_out};
    }
};

// The host's sizes at the first call. The plant store and the work arrays
// were made to them, so every later call must bring the same.
struct HostSizes {
    std::int32_t n_reach = 0;
    std::int32_t n_xc = 0;
    std::int32_t max_npt = 0;
    std::int32_t n_gis_xc = 0;
    std::vector<std::int32_t> first_xc;   // per reach
    std::vector<std::int32_t> nxc_reach;  // per reach
    std::vector<std::int32_t> npt;        // per cross section
    std::vector<std::int32_t> n_rr;       // per cross section
    std::vector<std::int32_t> gis_xc;     // per elevation-report entry
};

// Everything the library keeps from one host call to the next. One exists per
// process, created by the first call; every reader, process and report gets it
// (or the pieces it needs) by reference.
struct RunState {
    RunFiles files;
    HostSizes host_sizes;

    std::int32_t num_veg_kinds = 0;
    double t_last = 0.0;  // hours: host time of the last vegetation step
    double veg_dt = 0.0;  // days: least interval between two vegetation steps
    double out_dt = 0.0;  // days: interval between two report events
    std::int32_t n_step = 0;
    std::int32_t day_of_month = 0;
    std::int32_t month = 0;
    std::int32_t day_of_year = 0;
    bool veg_rr_on = false;
    std::string line_buf;  // the kind-counting scan's line

    // Run-wide values of the parameter file.
    std::int32_t n_stress_class = 0;
    std::int32_t lev_kind = 0;       // 0: no LEV record
    std::string veg_shape_file;      // 220 characters
    std::string veg_shape_field;     // 30 characters, upper case
    std::vector<VegCode> veg_codes;  // veg_codes[i - 1], i = 1 .. n_codes

    // The initial vegetation map: ENpg[i - 1] is polygon i, i = 1 .. n_poly.
    std::vector<Polygon> ENpg;
    ShapefileState shapefile;  // the map's file header and attribute table

    std::vector<VegKind> kinds;  // kinds[m_veg - 1]
    PlantStore veg;
    std::vector<double> ref_ele_init;  // ref_ele_init[i_xc - 1]

    // Temperature series.
    std::int32_t n_temp = 0;
    std::vector<double> temp_time;
    std::vector<double> temp_val;

    // Establishment between steps: the degree days of each kind since its yearly
    // reset, and the water-borne seed state of each cross section and kind,
    // stored [(i_xc - 1) * num_veg_kinds + (m_veg - 1)]. Made at the first step.
    struct Establishment {
        bool allocated = false;
        std::vector<double> degree_days;
        std::vector<std::uint8_t> seed_released;
        std::vector<double> seed_time;
        std::vector<double> seed_distance;
        // Within a step: whether the cross section is a seed source, and
        // whether carried seed reaches it.
        std::vector<std::uint8_t> seed_source;
        std::vector<std::uint8_t> seed_arrives;
    } establishment;

    // Mortality between steps: z_gw of every point at the end of the last step,
    // (largest npt) x n_xc, point fastest. Made at the first step.
    std::vector<double> water_prev;

    // Roughness work arrays, made at the first roughness step: the roughness of
    // each point ((largest npt) x n_xc) and the first point of each roughness
    // section (30 x n_xc, 0 for a section no point reaches).
    std::vector<double> rough_point;
    std::vector<std::int32_t> rough_seg_first;

    // The reaches' cross-section ranges (first, last), sorted, for the
    // one-pass step; kept so that later steps reuse the memory.
    std::vector<std::pair<std::int32_t, std::int32_t>> reach_spans;

    // The threads a step and a report event share, made by the host side at
    // the set-up; without them every job runs on the calling thread.
    std::unique_ptr<WorkerPool> workers;
    // The one-pass step's cut of the cross sections, made at the first step.
    XcParts step_parts;

    // The report writer's clock: host time of the last report event.
    double t_last_out = 0.0;

    std::int32_t threads() const { return workers ? workers->threads() : 1; }

    const VegKind& kind(std::int32_t m_veg) const {
        return kinds[static_cast<std::size_t>(m_veg - 1)];
    }
};

}  // namespace tulma
