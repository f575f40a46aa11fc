#include "tulma_run/host_conditions.hpp"

#include <algorithm>
#include <cmath>

namespace tulma::run {
namespace {
// Slack for a run end that is meant to be a whole number of host steps.
constexpr double kTimeSlackHours = 1e-6;
}  // namespace

double unit_weight_of_water(bool metric) { return metric ? 9810.0 : 62.4; }

double water_depth(double water_surface, double bed) { return std::max(0.0, water_surface - bed); }

PointConditions point_conditions(double water_surface, std::optional<double> groundwater,
                                 double bed, double capillary_fringe, double unit_weight,
                                 double energy_slope) {
    const double depth = water_depth(water_surface, bed);
    PointConditions c;
    c.z_gw = depth > 0.0 || !groundwater ? water_surface : *groundwater;
    c.cap_ele = c.z_gw + capillary_fringe;
    c.scour_var = depth > 0.0 ? unit_weight * depth * energy_slope : 0.0;
    return c;
}

double interpolate(const TimeTable& table, std::size_t column, double hours) {
    const std::vector<double>& t = table.hours;
    const std::vector<double>& v = table.columns[column];
    // The row at or before `hours`; the last row stands for itself.
    const auto after = std::upper_bound(t.begin(), t.end(), hours);
    const auto row = static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, (after - t.begin()) - 1));
    if (row + 1 >= t.size()) return v[row];
    return v[row] + (v[row + 1] - v[row]) * ((hours - t[row]) / (t[row + 1] - t[row]));
}

double water_surface(const Scenario& scenario, const SectionEntry& section, double hours) {
    if (scenario.gauge) return interpolate(scenario.levels, 0, hours) + section.gauge_offset;
    return interpolate(scenario.levels, static_cast<std::size_t>(section.level_column), hours);
}

CallSchedule::CallSchedule(double end_hours, double time_step_hours)
    : end_(end_hours), step_(time_step_hours) {
    const double whole =
        std::floor(end_hours / time_step_hours + kTimeSlackHours / time_step_hours);
    regular_ = static_cast<std::int64_t>(whole) + 1;
    final_at_end_ = end_hours - whole * time_step_hours > kTimeSlackHours;
}

double CallSchedule::time(std::int64_t call) const {
    // The last call is met at the end itself, not at a product a rounding off it.
    if (call == count() - 1) return end_;
    return static_cast<double>(call) * step_;
}

void VegetationStepCounter::on_call(double hours) {
    const double dt_days = (hours - t_last_) / 24.0;
    if (dt_days <= veg_dt_ - 1e-12) return;
    ++steps_;
    t_last_ = hours;
}

void apply_conditions(const Scenario& scenario, host::HostModel& model, double hours) {
    const double unit_weight = unit_weight_of_water(scenario.metric);
    std::int32_t i_xc = 0;
    for (const ReachEntry& reach : scenario.reaches) {
        for (const SectionEntry& section : reach.sections) {
            ++i_xc;
            const double wse = water_surface(scenario, section, hours);
            std::optional<double> groundwater;
            if (section.groundwater_column >= 0) {
                groundwater =
                    interpolate(*scenario.groundwater,
                                static_cast<std::size_t>(section.groundwater_column), hours);
            }
            const std::int32_t npt = model.npt(i_xc);
            for (std::int32_t k = 1; k <= npt; ++k) {
                const PointConditions c =
                    point_conditions(wse, groundwater, model.ele(k, i_xc),
                                     scenario.capillary_fringe, unit_weight, section.energy_slope);
                model.z_gw(k, i_xc) = c.z_gw;
                model.cap_ele(k, i_xc) = c.cap_ele;
                model.scour_var(k, i_xc) = c.scour_var;
            }
        }
    }
}

}  // namespace tulma::run
