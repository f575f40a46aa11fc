#include "output/report_context.hpp"

#include <algorithm>
#include <utility>

namespace tulma {
namespace {

// About this many lines go into one buffer: a few hundred kilobytes.
constexpr std::int64_t kPointsPerPart = 4096;
// Parts formatted before their buffers are written, per thread.
constexpr std::int32_t kPartsPerThread = 4;

}  // namespace

void ReportContext::write_cross_sections(
    OutputFile& file, std::vector<std::int32_t> xcs,
    const std::function<void(std::int32_t, LineBuilder&)>& format) {
    const XcParts parts = cut_into_parts(host, std::move(xcs), kPointsPerPart);
    const std::int32_t window = kPartsPerThread * state.threads();
    std::vector<LineBuilder> buffers(static_cast<std::size_t>(std::min(window, parts.count())));
    for (std::int32_t first = 0; first < parts.count(); first += window) {
        const std::int32_t count = std::min(window, parts.count() - first);
        for_each_part(state.workers.get(), count, [&](std::int32_t i) {
            LineBuilder& buffer = buffers[static_cast<std::size_t>(i)];
            for (const std::int32_t i_xc : parts.part(first + i)) format(i_xc, buffer);
        });
        for (std::int32_t i = 0; i < count; ++i) {
            LineBuilder& buffer = buffers[static_cast<std::size_t>(i)];
            file.write(buffer.view());
            buffer.clear();
        }
    }
}

void ReportContext::for_each_index(std::size_t n, const std::function<void(std::size_t)>& work) {
    const auto parts = static_cast<std::size_t>(kPartsPerThread * state.threads());
    const std::size_t chunk = (n + parts - 1) / parts;
    if (chunk == 0) return;
    for_each_part(state.workers.get(), static_cast<std::int32_t>((n + chunk - 1) / chunk),
                  [&](std::int32_t p) {
                      const std::size_t first = static_cast<std::size_t>(p) * chunk;
                      for (std::size_t i = first; i < std::min(n, first + chunk); ++i) work(i);
                  });
}

}  // namespace tulma
