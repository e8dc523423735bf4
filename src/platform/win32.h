// The one header the viewer includes for the platform. On Windows it brings in
// the real API; elsewhere it declares our own narrow layer, which implements
// only the calls the viewer makes, with the effects it relies on.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>

// Large blocks (file bodies) come from the ordinary heap on Windows.
inline void* AllocateLargeBlock(size_t bytes) { return std::malloc(bytes); }
inline void FreeLargeBlock(void* block) { std::free(block); }
#else
#include "linux/user.h"
#endif
