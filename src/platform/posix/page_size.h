// The system's page size, which mappings and their releases are counted in.
// Internal to the services.
#pragma once

#include <unistd.h>

#include <cstddef>

inline std::size_t PageSize() {
  static const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return page;
}
