// This process's memory as the kernel counts it, for tests that bound what an
// operation costs.
#pragma once

#include <cstdint>

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

// Bytes resident now (VmRSS) and mapped now (VmSize).
std::uint64_t ResidentBytes();
std::uint64_t MappedBytes();

// The peak of resident bytes since the last ResetResidentPeak (VmHWM).
std::uint64_t PeakResidentBytes();
void ResetResidentPeak();

// Caps the address space at bytes, so that any mapping beyond fails, and
// takes the cap back.
void CapAddressSpace(std::uint64_t bytes);
void UncapAddressSpace();

// Runs operation with the address space capped at what is mapped now plus
// allowed bytes, and returns its result.
template <typename Operation>
auto WithAddressSpaceCap(std::uint64_t allowed, Operation operation) {
  CapAddressSpace(MappedBytes() + allowed);
  auto result = operation();
  UncapAddressSpace();
  return result;
}
