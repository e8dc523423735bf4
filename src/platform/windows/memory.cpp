// Large blocks on Windows come from the ordinary heap.
#include "../memory.h"

#include <cstdlib>
#include <cstring>

void* AllocateBlock(std::size_t bytes) { return std::malloc(bytes == 0 ? 1 : bytes); }

void* AllocateZeroedBlock(std::size_t bytes) { return std::calloc(1, bytes == 0 ? 1 : bytes); }

void* ResizeBlock(void* block, std::size_t oldBytes, std::size_t newBytes) {
  void* resized = std::realloc(block, newBytes == 0 ? 1 : newBytes);
  if (resized != nullptr && newBytes > oldBytes)
    std::memset(static_cast<char*>(resized) + oldBytes, 0, newBytes - oldBytes);
  return resized;
}

void FreeBlock(void* block, std::size_t) { std::free(block); }

// Files are read, never mapped.
std::uint8_t* MapFileBlock(const InputFile&, std::uint64_t, std::size_t) { return nullptr; }

bool FileBlockChanged(const void*) { return false; }

void ReleasePagesBefore(const void*) {}

void ReleaseBlockPages(const void*) {}
