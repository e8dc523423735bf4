// Files mapped into memory, guarded against being cut short while mapped.
// Internal to the memory module.
#pragma once

#include <cstddef>
#include <cstdint>

// Maps bytes of the open file from offset on, read-only; null when it cannot.
std::uint8_t* MapFileBytes(int descriptor, std::uint64_t offset, std::size_t bytes);

// Unmaps a block MapFileBytes gave; false for any other block.
bool UnmapFileBytes(const void* block);

// Whether the file behind a mapped block was cut short while it was mapped.
bool FileBytesCutShort(const void* block);
