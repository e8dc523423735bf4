// The window part's clock in the program: the system's monotonic clock.
#include <time.h>

#include "clock.h"

std::int64_t NowMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return std::int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}
