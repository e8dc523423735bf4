// Large blocks on Linux. Blocks of a huge page or more are mappings of their
// own, aligned to a huge page and marked for transparent huge pages, so that a
// first touch costs one fault per 2 MiB instead of one per page. Smaller
// blocks come from the heap.
//
// The viewer releases the image shown just before it loads the next, and
// pages the kernel has just had back cost far more at their next first touch
// than pages kept in place (on virtual machines most of all): a drop after a
// drop of a large image takes half again as long without reuse. So freed
// mappings are kept, two at most (a surface and a file body), for the
// allocations of the load that follows, and whatever that load does not take
// over goes back when it ends.
#include "../memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

bool Mapped(std::size_t bytes) { return bytes >= kHugePage; }

std::size_t PageSize() {
  static const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return page;
}

// Mappings span whole huge pages, which are whole pages of any size the
// system uses too.
std::size_t MappedSize(std::size_t bytes) {
  const std::size_t unit = std::max(kHugePage, PageSize());
  return (bytes + unit - 1) / unit * unit;
}

// Fresh anonymous pages, which the kernel hands out zero-filled.
void* MapHugePages(std::size_t size) {
  const std::size_t span = size + kHugePage;
  void* base = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(base);
  const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::size_t head = aligned - start;
  if (head != 0) munmap(base, head);
  if (span - head > size) munmap(reinterpret_cast<void*>(aligned + size), span - head - size);
  madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
  return reinterpret_cast<void*>(aligned);
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

// Clears the resident pages of a kept mapping; the others have never been
// touched since the kernel mapped them, or were discarded, and read as zeros
// already. Clearing in place keeps the pages the last image used, and costs no
// more than drawing on them did.
void ClearResidentPages(void* block, std::size_t size) {
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
      if ((resident[first] & 1) == 0) {
        ++first;
        continue;
      }
      std::size_t last = first;
      while (last < pages && (resident[last] & 1) != 0) ++last;
      std::memset(bytes + offset + first * page, 0, std::min(last * page, span) - first * page);
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
  if (zeroed) ClearResidentPages(block, size);
  return block;
}

void* Allocate(std::size_t bytes, bool zeroed) {
  if (bytes > SIZE_MAX - kHugePage) return nullptr;
  if (!Mapped(bytes))
    return zeroed ? std::calloc(1, bytes == 0 ? 1 : bytes) : std::malloc(bytes == 0 ? 1 : bytes);
  const std::size_t size = MappedSize(bytes);
  if (void* block = TakeKept(size, zeroed)) return block;
  return MapHugePages(size);
}

}  // namespace

void* AllocateBlock(std::size_t bytes) { return Allocate(bytes, false); }

void* AllocateZeroedBlock(std::size_t bytes) { return Allocate(bytes, true); }

void* ResizeBlock(void* block, std::size_t oldBytes, std::size_t newBytes) {
  if (newBytes > SIZE_MAX - kHugePage) return nullptr;
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

void FreeBlock(void* block, std::size_t bytes) {
  if (block == nullptr) return;
  if (Mapped(bytes)) {
    Keep(block, MappedSize(bytes));
  } else {
    std::free(block);
  }
}

void ReleaseKeptBlocks() {
  for (Kept& slot : kept) {
    if (slot.block != nullptr) munmap(slot.block, slot.size);
    slot = {};
  }
}
