// What the load benchmarks share: their images' names, choosing images and
// loaders by parts of their names, medians, the huge pages a process holds and
// its peak resident memory.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bitmap_writer.h"

// "rgb24-8192x8192": the layout, then the size.
inline std::string CaseName(bmpgen::Layout layout, std::uint32_t width, std::uint32_t height) {
  return std::string(bmpgen::NameOf(layout)) + "-" + std::to_string(width) + "x" + std::to_string(height);
}

// The parts of a comma-separated list, empty ones left out.
inline std::vector<std::string> SplitCommas(const std::string& text) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, ',');) {
    if (!part.empty()) parts.push_back(part);
  }
  return parts;
}

// Whether the name contains one of the parts; every name, for none.
inline bool Selected(const std::string& name, const std::vector<std::string>& parts) {
  if (parts.empty()) return true;
  return std::any_of(parts.begin(), parts.end(),
                     [&name](const std::string& part) { return name.find(part) != std::string::npos; });
}

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 != 0 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The kibibytes a /proc/self file gives for key ("VmHWM:"), 0 without it.
inline long ProcKib(const char* file, const char* key) {
  std::ifstream in(file);
  std::string word;
  long kib = 0;
  while (in >> word) {
    if (word == key) {
      in >> kib;
      return kib;
    }
    in.ignore(1 << 10, '\n');
  }
  return 0;
}

// Kibibytes of anonymous memory the process holds in transparent huge pages.
inline long AnonHugePagesKib() { return ProcKib("/proc/self/smaps_rollup", "AnonHugePages:"); }

// Kibibytes of the process's peak resident memory (VmHWM): the most it held at
// once, file pages it had mapped included.
inline long PeakResidentKib() { return ProcKib("/proc/self/status", "VmHWM:"); }
