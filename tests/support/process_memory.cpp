#include "process_memory.h"

#include <sys/resource.h>

#include <fstream>
#include <string>

namespace {

// A "Vm...:  123 kB" line of /proc/self/status, in bytes.
std::uint64_t StatusBytes(const std::string& key) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(key + ":", 0) == 0) return std::stoull(line.substr(key.size() + 1)) * 1024;
  }
  return 0;
}

rlimit uncapped{};

}  // namespace

std::uint64_t ResidentBytes() { return StatusBytes("VmRSS"); }
std::uint64_t MappedBytes() { return StatusBytes("VmSize"); }
std::uint64_t PeakResidentBytes() { return StatusBytes("VmHWM"); }

void ResetResidentPeak() {
  // 5 resets the peak resident size to the present one.
  std::ofstream("/proc/self/clear_refs") << "5";
}

void CapAddressSpace(std::uint64_t bytes) {
  getrlimit(RLIMIT_AS, &uncapped);
  rlimit capped = uncapped;
  capped.rlim_cur = bytes;
  setrlimit(RLIMIT_AS, &capped);
}

void UncapAddressSpace() { setrlimit(RLIMIT_AS, &uncapped); }
