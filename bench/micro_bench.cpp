// The small pieces every plant record passes through on every step or report
// event: the table lookup of rates and limits by age, and the field editing of
// the report lines; and the host size check every call makes.
//
//   micro_bench [--benchmark_repetitions=N] [--benchmark_report_aggregates_only=true]

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "host/driver.hpp"
#include "util/field_editor.hpp"
#include "util/table_lookup.hpp"

namespace {

// Ages a river's plants have: most young, a few old, a few past the table.
std::vector<double> plant_ages(std::size_t n) {
    std::mt19937_64 random(42);
    std::exponential_distribution<double> age(1.0 / 6.0);
    std::vector<double> ages(n);
    for (double& a : ages) a = age(random);
    return ages;
}

// A growth table of n rows: ages 0, 1, 2, ... and a falling rate.
struct Table {
    std::vector<double> keys, values;
    explicit Table(std::int32_t n) {
        for (std::int32_t i = 0; i < n; ++i) {
            keys.push_back(i < 3 ? i : 2.0 * i);
            values.push_back(0.02 / (1.0 + i));
        }
    }
};

void table_lookup_by_age(benchmark::State& state) {
    const auto n = static_cast<std::int32_t>(state.range(0));
    const Table table(n);
    const std::vector<double> ages = plant_ages(4096);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tulma::table_lookup(n, table.keys, table.values, ages[i]));
        i = (i + 1) & 4095;
    }
}
BENCHMARK(table_lookup_by_age)->Arg(1)->Arg(2)->Arg(5)->Arg(7)->Arg(40);

// The ends of the table, answered without a search.
void table_lookup_outside(benchmark::State& state) {
    const Table table(7);
    double v = -1.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tulma::table_lookup(7, table.keys, table.values, v));
        v = v < 0.0 ? 100.0 : -1.0;
    }
}
BENCHMARK(table_lookup_outside);

void table_locate(benchmark::State& state) {
    const auto n = static_cast<std::int32_t>(state.range(0));
    const Table table(n);
    const std::vector<double> ages = plant_ages(4096);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tulma::table_locate(table.keys, n, ages[i]));
        i = (i + 1) & 4095;
    }
}
BENCHMARK(table_locate)->Arg(7)->Arg(40);

// Values of the kind the reports print: elevations, heights, ages, areas.
std::vector<double> report_values() {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> magnitude(-3.0, 7.0);
    std::vector<double> values(4096);
    for (double& v : values) v = std::pow(10.0, magnitude(random));
    values[1] = 0.0;
    values[2] = -12.5;
    return values;
}

void field_general(benchmark::State& state) {
    const std::vector<double> values = report_values();
    tulma::LineBuilder line;
    std::size_t i = 0;
    for (auto _ : state) {
        line.general(values[i]);
        i = (i + 1) & 4095;
        if ((i & 15) == 0) line.clear();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 13);
}
BENCHMARK(field_general);

void field_fixed(benchmark::State& state) {
    const auto width = static_cast<int>(state.range(0));
    const std::vector<double> values = report_values();
    tulma::LineBuilder line;
    std::size_t i = 0;
    for (auto _ : state) {
        line.fixed(values[i] * 1e-3, width, 2);
        i = (i + 1) & 4095;
        if ((i & 15) == 0) line.clear();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * width);
}
BENCHMARK(field_fixed)->Arg(7)->Arg(12)->Arg(14);

void field_integer(benchmark::State& state) {
    tulma::LineBuilder line;
    std::int64_t v = 0;
    for (auto _ : state) {
        line.integer(v, 6);
        v = (v + 7919) % 100000;
        if ((v & 15) == 0) line.clear();
    }
}
BENCHMARK(field_integer);

// One line of the plant list: the time, three integers, two coordinates and
// eight general fields, as every point record of every kind gets at an event.
void plant_list_line(benchmark::State& state) {
    const std::vector<double> values = report_values();
    tulma::LineBuilder line;
    std::size_t i = 0;
    for (auto _ : state) {
        line.clear();
        line.general(8784.0);
        for (std::int64_t v : {std::int64_t{2}, static_cast<std::int64_t>(i), std::int64_t{-1}}) {
            line.text(",");
            line.integer(v, 6);
        }
        line.text(",");
        line.fixed(values[i], 14, 2);
        line.text(",");
        line.fixed(values[(i + 1) & 4095], 14, 2);
        for (std::size_t f = 0; f < 8; ++f) {
            line.text(",");
            line.general(values[(i + f) & 4095]);
        }
        benchmark::DoNotOptimize(line.view().data());
        i = (i + 8) & 4095;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 176);
}
BENCHMARK(plant_list_line);

// The check every call makes that the host's sizes are still the first call's,
// on the largest river of scaling_bench: 10^7 point records, 8396 cross sections
// of 397 points over two reaches, every tenth cross section in the elevation report.
void host_size_check(benchmark::State& state) {
    constexpr std::int32_t n_reach = 2, n_xc = 8396, max_npt = 397;
    std::vector<std::int32_t> first_xc = {1, n_xc / 2 + 1}, nxc_reach = {n_xc / 2, n_xc / 2};
    std::vector<std::int32_t> npt(n_xc, max_npt), n_rr(n_xc, 3), gis_xc;
    for (std::int32_t i = 1; i <= n_xc; i += 10) gis_xc.push_back(i);
    tulma::HostArgs host;
    host.n_reach = n_reach;
    host.n_xc = n_xc;
    host.max_npt = max_npt;
    host.n_gis_xc = static_cast<std::int32_t>(gis_xc.size());
    host.first_xc = {first_xc.data(), n_reach};
    host.nxc_reach = {nxc_reach.data(), n_reach};
    host.npt = {npt.data(), n_xc};
    host.n_rr = {n_rr.data(), n_xc};
    host.gis_xc = {gis_xc.data(), host.n_gis_xc};
    const tulma::HostSizes first = tulma::host_sizes_of(host);
    for (auto _ : state) {
        tulma::check_same_sizes(first, host);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(host_size_check);

}  // namespace

BENCHMARK_MAIN();
