// Times one load in a process of its own and reports it on standard output.
#include "load_child.h"

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <optional>

#include "bench_support.h"
#include "pixel_check.h"

namespace first_load {
namespace {

double Milliseconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

long MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

// Reasons go on one line.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

// Prints the child's line and ends the process at once, releasing nothing, as
// the viewer ends: every loader's process then ends the same way (and leak
// checkers do not count results the child never meant to free).
[[noreturn]] void Report(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
  std::_Exit(0);
}

}  // namespace

int RunChild(int argc, char** argv, Loader& loader) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s PATH LAYOUT WIDTH HEIGHT\n", argv[0]);
    return 2;
  }
  const char* path = argv[1];
  const std::optional<bmpgen::Layout> layout = bmpgen::LayoutNamed(argv[2]);
  const auto width = static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 10));
  const auto height = static_cast<std::uint32_t>(std::strtoul(argv[4], nullptr, 10));
  if (!layout || width == 0 || height == 0) {
    std::fprintf(stderr, "%s: bad layout or size\n", argv[0]);
    return 2;
  }

  std::string reason;
  const long faultsBefore = MinorFaults();
  const double cpuStart = Milliseconds(CLOCK_PROCESS_CPUTIME_ID);
  const double start = Milliseconds(CLOCK_MONOTONIC);
  const bool loaded = loader.Load(path, reason);
  const double end = Milliseconds(CLOCK_MONOTONIC);
  const double cpu = Milliseconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart;
  const long faults = MinorFaults() - faultsBefore;

  if (!loaded) Report("cannot " + OneLine(reason));
  if (loader.Decodes()) {
    if (loader.Width() != width || loader.Height() != height) {
      Report("wrong size " + std::to_string(loader.Width()) + "x" + std::to_string(loader.Height()));
    }
    const std::string problem = bench::CheckPixels(
        *layout, width, height, [&loader](std::uint32_t x, std::uint32_t y) { return loader.PixelAt(x, y); });
    if (!problem.empty()) Report("wrong " + problem);
  }
  // The peak is read last: the check reads the result, and the result counts.
  char line[160];
  std::snprintf(line, sizeof line, "ok %.3f %.3f %ld %ld %u %.1f", end - start, cpu, faults,
                AnonHugePagesKib() / 1024, loader.BytesPerPixel(),
                static_cast<double>(PeakResidentKib()) / 1024);
  Report(line);
}

}  // namespace first_load
