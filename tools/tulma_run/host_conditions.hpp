#pragma once

// What the stand-in host hands the library at each call: the water surface of
// every cross section at the call's time, and from it, point by point, the
// water table, the top of the capillary fringe and the bed shear stress the
// plants there feel. Also the calendar of the calls themselves.

#include <cstdint>
#include <optional>

#include "host_model/host_model.hpp"
#include "tulma_run/scenario.hpp"

namespace tulma::run {

// Unit weight of water: 9810 N/m3 (metric) or 62.4 lb/ft3 (english).
double unit_weight_of_water(bool metric);

// Depth of water over a point: the water surface less the bed, never negative.
double water_depth(double water_surface, double bed);

struct PointConditions {
    double z_gw = 0.0;
    double cap_ele = 0.0;
    double scour_var = 0.0;
};

// The water table is the river's own surface where the point is under water;
// on dry ground it is the ground water the user gave, or else the river's
// level carried flat across the section. The capillary fringe sits on the
// water table; the bed shear stress is unit weight x depth x energy slope.
PointConditions point_conditions(double water_surface, std::optional<double> groundwater,
                                 double bed, double capillary_fringe, double unit_weight,
                                 double energy_slope);

// Linear interpolation in time of one column; a row's own value at its time.
// `hours` must lie within the table's first and last time.
double interpolate(const TimeTable& table, std::size_t column, double hours);

// The water surface of a cross section at a time (its column, or the gauge
// stage plus the section's offset).
double water_surface(const Scenario& scenario, const SectionEntry& section, double hours);

// Host calls at 0, dt, 2 dt, ... up to and including the end of the run; when
// the end is not a whole number of steps, one last call at the end itself.
class CallSchedule {
 public:
    CallSchedule(double end_hours, double time_step_hours);
    std::int64_t count() const { return regular_ + (final_at_end_ ? 1 : 0); }
    double time(std::int64_t call) const;  // call counted from 0
 private:
    double end_;
    double step_;
    std::int64_t regular_;
    bool final_at_end_;
};

// Counts the vegetation steps the library takes: one on a call when more than
// its step interval (days, less 1e-12) has passed since its last step, the
// first interval counted from time 0.
class VegetationStepCounter {
 public:
    explicit VegetationStepCounter(double veg_dt_days) : veg_dt_(veg_dt_days) {}
    void on_call(double hours);
    std::int64_t steps() const { return steps_; }

 private:
    double veg_dt_;
    double t_last_ = 0.0;
    std::int64_t steps_ = 0;
};

// Writes z_gw, cap_ele and scour_var of every point for a call at `hours`.
void apply_conditions(const Scenario& scenario, host::HostModel& model, double hours);

}  // namespace tulma::run
