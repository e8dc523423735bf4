// What the program exposes only to its tests and benchmarks: defined in the
// program, declared only here.
#pragma once

#include <cstddef>

#include "platform/win32.h"

// Handed each trace format as it is traced, unformatted; null when nobody
// listens.
using TraceListener = void (*)(const char* format);
extern TraceListener traceListener;

// The bytes of the reduced copies a bitmap keeps.
std::size_t ReducedCopyBytes(HBITMAP bitmap);

// The bytes of freed blocks the memory module keeps for the next allocations.
std::size_t KeptBytes();

// Takes the pages of a mapped file block that its reader has left well behind
// out of the process's memory at once, as the block's companion thread does
// every few milliseconds; nothing for a small block.
void DropPagesBehindReader(const void* block);
