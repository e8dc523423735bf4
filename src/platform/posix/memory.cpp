// Large blocks on Linux. Blocks of 2 MiB or more are mappings of their own, of
// ordinary pages, given back to the system whole; smaller ones come from the
// heap. Huge pages would make a first touch cost one fault per 2 MiB instead
// of one per page, but on virtual machines that hand free memory back to the
// host they are the very blocks the host has just taken away: touching one
// again then costs ten times what touching ordinary pages does, and a viewer
// started after other programs ran would pay that for every large image.
//
// The viewer releases the image shown just before it loads the next, and
// pages kept in place cost far less at their next touch than pages the kernel
// has just had back. So freed mappings are kept, two at most (a surface and a
// file body), for the allocations of the load that follows, and whatever that
// load does not take over goes back when it ends.
#include "../memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "../input_file.h"
#include "file_mapping.h"

namespace {

constexpr std::size_t kLargeBlock = std::size_t{2} << 20;

bool Mapped(std::size_t bytes) { return bytes >= kLargeBlock; }

std::size_t PageSize() {
  static const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return page;
}

// Mappings span whole pages.
std::size_t MappedSize(std::size_t bytes) { return (bytes + PageSize() - 1) / PageSize() * PageSize(); }

// Fresh anonymous pages, which the kernel hands out zero-filled.
void* MapPages(std::size_t size) {
  void* block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return block == MAP_FAILED ? nullptr : block;
}

// The most bytes of picture one byte of a file draws without compression:
// 8 pixels of 4 bytes at 1 bit a pixel.
constexpr std::size_t kDrawnPerFileByte = 32;

// Gives the last bytes of a fresh mapping their pages in one call. Touched one
// at a time, each page costs a fault, and on virtual machines a fault on
// memory the host has taken back costs up to 13 µs; the kernel fills a range
// for a fraction of that. A block the caller fills gets all its pages; a
// zero-filled one, into which a picture is drawn, as many as the files mapped
// now can draw, so that a small file declaring a huge picture costs nothing
// for the pixels it never reaches. The end comes first: pictures stored
// bottom-up, the most, are drawn from there.
void Populate(void* block, std::size_t size, bool zeroed) {
#ifdef MADV_POPULATE_WRITE
  std::size_t bytes = size;
  if (zeroed) bytes = std::min(size, MappedFileBytes() / PageSize() * PageSize() * kDrawnPerFileByte);
  if (bytes > 0) madvise(static_cast<char*>(block) + (size - bytes), bytes, MADV_POPULATE_WRITE);
#else
  static_cast<void>(block), static_cast<void>(size), static_cast<void>(zeroed);
#endif
}

// Freed mappings kept for the next allocations; size is a whole MappedSize.
struct Kept {
  void* block;
  std::size_t size;
};
Kept kept[2];

void Keep(void* block, std::size_t size) {
  for (Kept& slot : kept) {
    if (slot.block == nullptr) {
      slot = {block, size};
      return;
    }
  }
  // Full: the older one goes.
  munmap(kept[0].block, kept[0].size);
  kept[0] = kept[1];
  kept[1] = {block, size};
}

// Clears a kept mapping for a zero-filled block. Resident pages are cleared
// in place, which keeps the pages the last image used and costs no more than
// drawing on them did; the others are discarded, so that they read as zeros
// whatever they held: a page swapped out reads as not resident, and it still
// holds the old picture's pixels.
void ClearKeptPages(void* block, std::size_t size) {
  const std::size_t page = PageSize();
  constexpr std::size_t kWindowPages = 16384;  // mincore's answers, a window at a time
  unsigned char resident[kWindowPages];
  auto* bytes = static_cast<unsigned char*>(block);
  for (std::size_t offset = 0; offset < size; offset += kWindowPages * page) {
    const std::size_t span = std::min(size - offset, kWindowPages * page);
    const std::size_t pages = (span + page - 1) / page;
    if (mincore(bytes + offset, span, resident) != 0) {
      std::memset(bytes + offset, 0, span);
      continue;
    }
    for (std::size_t first = 0; first < pages;) {
      const bool inMemory = (resident[first] & 1) != 0;
      std::size_t last = first;
      while (last < pages && ((resident[last] & 1) != 0) == inMemory) ++last;
      unsigned char* run = bytes + offset + first * page;
      const std::size_t length = std::min(last * page, span) - first * page;
      if (!inMemory && madvise(run, length, MADV_DONTNEED) == 0) {
        first = last;
        continue;
      }
      std::memset(run, 0, length);
      first = last;
    }
  }
}

// The smallest kept mapping of at least size bytes, cut to size and cleared
// when asked; null when none is large enough.
void* TakeKept(std::size_t size, bool zeroed) {
  Kept* best = nullptr;
  for (Kept& slot : kept) {
    if (slot.block != nullptr && slot.size >= size && (best == nullptr || slot.size < best->size))
      best = &slot;
  }
  if (best == nullptr) return nullptr;
  void* block = best->block;
  if (best->size > size) munmap(static_cast<char*>(block) + size, best->size - size);
  *best = {};
  if (zeroed) ClearKeptPages(block, size);
  return block;
}

void* Allocate(std::size_t bytes, bool zeroed) {
  if (bytes > SIZE_MAX - kLargeBlock) return nullptr;
  if (!Mapped(bytes))
    return zeroed ? std::calloc(1, bytes == 0 ? 1 : bytes) : std::malloc(bytes == 0 ? 1 : bytes);
  const std::size_t size = MappedSize(bytes);
  if (void* block = TakeKept(size, zeroed)) return block;
  void* block = MapPages(size);
  if (block != nullptr) Populate(block, size, zeroed);
  return block;
}

}  // namespace

void* AllocateBlock(std::size_t bytes) { return Allocate(bytes, false); }

void* AllocateZeroedBlock(std::size_t bytes) { return Allocate(bytes, true); }

void* ResizeBlock(void* block, std::size_t oldBytes, std::size_t newBytes) {
  if (newBytes > SIZE_MAX - kLargeBlock) return nullptr;
  if (Mapped(oldBytes) && Mapped(newBytes)) {
    // The pages move with the mapping: nothing is copied, and a block that
    // grows as data arrives never holds the data twice.
    void* moved = mremap(block, MappedSize(oldBytes), MappedSize(newBytes), MREMAP_MAYMOVE);
    return moved == MAP_FAILED ? nullptr : moved;
  }
  if (!Mapped(oldBytes) && !Mapped(newBytes)) {
    void* resized = std::realloc(block, newBytes == 0 ? 1 : newBytes);
    if (resized != nullptr && newBytes > oldBytes)
      std::memset(static_cast<char*>(resized) + oldBytes, 0, newBytes - oldBytes);
    return resized;
  }
  // Across the line between heap and mappings; the smaller side is below it,
  // so the copy is short.
  void* resized = AllocateZeroedBlock(newBytes);
  if (resized == nullptr) return nullptr;
  std::memcpy(resized, block, std::min(oldBytes, newBytes));
  FreeBlock(block, oldBytes);
  return resized;
}

std::uint8_t* MapFileBlock(const InputFile& file, std::uint64_t offset, std::size_t bytes) {
  if (!file.Size()) return nullptr;
  return MapFileBytes(static_cast<int>(file.handle()), offset, bytes);
}

bool FileBlockChanged(const void* block) { return FileBytesChanged(block); }

void ForgetBlockPages(const void* block) {
  if (block != nullptr) DropFileBytePages(block);
}

void FreeBlock(void* block, std::size_t bytes) {
  if (block == nullptr || UnmapFileBytes(block)) return;
  if (Mapped(bytes)) {
    Keep(block, MappedSize(bytes));
  } else {
    std::free(block);
  }
}

// For tests: the bytes kept now.
std::size_t KeptBytes() {
  std::size_t bytes = 0;
  for (const Kept& slot : kept) bytes += slot.size;
  return bytes;
}

void ReleaseKeptBlocks() {
  for (Kept& slot : kept) {
    if (slot.block != nullptr) munmap(slot.block, slot.size);
    slot = {};
  }
}
