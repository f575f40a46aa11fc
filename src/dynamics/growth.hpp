#pragma once

#include <span>

#include "host/plant_store.hpp"
#include "input/veg_kind.hpp"

namespace tulma {

// The calendar of the step being taken, as the processes see it.
struct StepClock {
    double dt_days = 0.0;
    std::int32_t month = 0;
    std::int32_t day_of_year = 0;
    double time = 0.0;
};

// Ages and grows the living plants of every kind at one point.
void grow_vegP(const StepClock& clock, std::span<const VegKind> kinds, std::span<VegPoint> v,
               double z_gw);

}  // namespace tulma
