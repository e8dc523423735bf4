// The one header the viewer includes for the platform. On Windows it brings in
// the real API; elsewhere it declares our own narrow layer, which implements
// only the calls the viewer makes, with the effects it relies on.
#pragma once

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX  // keep std::min and std::max usable
#endif
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <cstdlib>

#include "windows/cp932_text.h"
#include "windows/wide_paths.h"

// Large blocks (file bodies) come from the ordinary heap on Windows.
inline void* AllocateLargeBlock(size_t bytes) { return std::malloc(bytes); }
inline void FreeLargeBlock(void* block) { std::free(block); }
#else
#include <cstdio>

#include "linux/user.h"

// Paths are bytes here, and a file opens by them as they are.
inline std::FILE* OpenFileForReading(const char* path) { return std::fopen(path, "rb"); }
#endif
