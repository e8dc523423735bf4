// The window part's clock: milliseconds that only move forward, for the
// messages' times and for telling when a window's size has been still long
// enough. The program's is the system's monotonic clock (monotonic_clock.cpp);
// tests link one they move themselves.
#pragma once

#include <cstdint>

std::int64_t NowMs();
