// Files mapped into memory. A mapped file's pages are the system's cache of
// it: nothing is copied, and nothing is touched before it is read. But a file
// that another program cuts short while it is mapped takes the pages past its
// new end away, and reading one raises SIGBUS. So a handler, installed with
// the first mapping, puts a page of zeros where such a page was and marks the
// mapping cut short; faults anywhere else go on to the handler that was there
// before, or to the default action.
#include "file_mapping.h"

#include <sys/mman.h>
#include <unistd.h>

#include "fault_handlers.h"

namespace {

// The mappings alive, read by the handler: plain fields, set before a mapping
// can be read.
struct Mapping {
  std::uintptr_t base;  // page-aligned start of the mapping
  std::size_t length;
  const std::uint8_t* block;  // what the caller was given
  volatile sig_atomic_t used, cut;
};
constexpr int kMappings = 4;
Mapping mappings[kMappings];

std::uintptr_t PageSize() {
  static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  return page;
}

// A bus error in a mapped file: a page of zeros where the page was.
bool OnBusError(const siginfo_t& info) {
  const auto address = reinterpret_cast<std::uintptr_t>(info.si_addr);
  for (Mapping& mapping : mappings) {
    if (mapping.used == 0 || address < mapping.base || address - mapping.base >= mapping.length) continue;
    void* page = reinterpret_cast<void*>(address & ~(PageSize() - 1));
    if (mmap(page, PageSize(), PROT_READ, MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) == MAP_FAILED)
      return false;
    mapping.cut = 1;
    return true;
  }
  return false;
}

Mapping* Find(const void* block) {
  for (Mapping& mapping : mappings) {
    if (mapping.used != 0 && mapping.block == block) return &mapping;
  }
  return nullptr;
}

}  // namespace

std::uint8_t* MapFileBytes(int descriptor, std::uint64_t offset, std::size_t bytes) {
  Mapping* free = nullptr;
  for (Mapping& mapping : mappings) {
    if (mapping.used == 0 && free == nullptr) free = &mapping;
  }
  if (free == nullptr || !HandleExpectedFaults(SIGBUS, OnBusError)) return nullptr;
  const std::uint64_t start = offset & ~static_cast<std::uint64_t>(PageSize() - 1);
  const std::size_t length = static_cast<std::size_t>(offset - start) + bytes;
  if (length == 0) return nullptr;
  void* base = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, descriptor, static_cast<off_t>(start));
  if (base == MAP_FAILED) return nullptr;
  const auto* block = static_cast<const std::uint8_t*>(base) + (offset - start);
  free->base = reinterpret_cast<std::uintptr_t>(base);
  free->length = length;
  free->block = block;
  free->cut = 0;
  free->used = 1;
  return const_cast<std::uint8_t*>(block);
}

bool UnmapFileBytes(const void* block) {
  Mapping* mapping = Find(block);
  if (mapping == nullptr) return false;
  mapping->used = 0;
  munmap(reinterpret_cast<void*>(mapping->base), mapping->length);
  return true;
}

bool FileBytesCutShort(const void* block) {
  const Mapping* mapping = Find(block);
  return mapping != nullptr && mapping->cut != 0;
}
