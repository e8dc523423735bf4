// Files mapped into memory. A mapped file's pages are the system's cache of
// it: nothing is copied, and nothing is touched before it is read. But a file
// that another program cuts short while it is mapped takes the pages past its
// new end away, and reading one raises SIGBUS. So while any file is mapped, a
// guard handles SIGBUS: a fault inside a mapping puts zeros from the faulting
// page to the mapping's end, in one call, and marks the mapping cut short;
// any other SIGBUS goes to the action that was there before the guard.
//
// A renderer reads a file once, forward, and every page it has read would
// stay in the process until the mapping goes: a load would hold the whole file
// and the whole picture at once. So the reader says how far it has got, and
// the pages behind it leave the process's memory (MADV_DONTNEED); they stay
// the system's cache of the file. They go in whole 2 MiB blocks of the file:
// the page cache may hold a large file in blocks of that size, and taking
// part of one out of a mapping costs several times what taking all of it does.
#include "file_mapping.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

#include "file_stamp.h"
#include "page_size.h"

namespace {

// The mappings alive, read by the guard: plain fields, set before a mapping
// can be read.
struct Mapping {
  std::uintptr_t base;  // page-aligned start of the mapping
  std::size_t length;
  std::uint64_t start;        // the file's offset at base
  const std::uint8_t* block;  // what the caller was given
  int descriptor;             // a copy of the file's, to see whether it changed
  FileStamp stamp;            // the file as it was mapped
  std::size_t released;       // bytes from base whose pages have left the process
  volatile sig_atomic_t used, cut;
};
constexpr int kMappings = 4;
Mapping mappings[kMappings];
std::size_t mappedBytes = 0;  // of every mapping alive

// Pages behind a reader go in whole blocks of the file this large.
constexpr std::uint64_t kReleaseBlock = std::uint64_t{2} << 20;

struct sigaction before;  // the action the guard stands in front of
bool guarding = false;

// Zeros from the faulting page to the end of its mapping; false when the
// fault lies in no mapping.
bool ZeroPastTheCut(std::uintptr_t address) {
  for (Mapping& mapping : mappings) {
    if (mapping.used == 0 || address < mapping.base || address - mapping.base >= mapping.length) continue;
    const std::uintptr_t page = address & ~(std::uintptr_t{PageSize()} - 1);
    const std::size_t rest = mapping.base + mapping.length - page;
    if (mmap(reinterpret_cast<void*>(page), rest, PROT_READ, MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1,
             0) == MAP_FAILED)
      return false;
    mapping.cut = 1;
    return true;
  }
  return false;
}

void OnBusError(int signal, siginfo_t* info, void*) {
  if (info->si_code > 0 && ZeroPastTheCut(reinterpret_cast<std::uintptr_t>(info->si_addr))) return;
  // Not ours: the earlier action takes it, as if the guard had never been
  // there. A fault comes again when this returns; a sent signal is raised
  // again.
  sigaction(signal, &before, nullptr);
  guarding = false;
  if (info->si_code <= 0) raise(signal);
}

bool Guard() {
  if (guarding) return true;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = OnBusError;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  if (sigaction(SIGBUS, &action, &before) != 0) return false;
  guarding = true;
  return true;
}

// The last mapping has gone: SIGBUS is the earlier action's again.
void StopGuardingIfIdle() {
  for (const Mapping& mapping : mappings) {
    if (mapping.used != 0) return;
  }
  if (guarding) sigaction(SIGBUS, &before, nullptr);
  guarding = false;
}

Mapping* Find(const void* block) {
  for (Mapping& mapping : mappings) {
    if (mapping.used != 0 && mapping.block == block) return &mapping;
  }
  return nullptr;
}

// The mapping whose bytes hold the address, or end at it; null for none.
Mapping* Holding(const void* address) {
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  for (Mapping& mapping : mappings) {
    if (mapping.used != 0 && at >= mapping.base && at - mapping.base <= mapping.length) return &mapping;
  }
  return nullptr;
}

}  // namespace

std::uint8_t* MapFileBytes(int descriptor, std::uint64_t offset, std::size_t bytes) {
  Mapping* free = nullptr;
  for (Mapping& mapping : mappings) {
    if (mapping.used == 0 && free == nullptr) free = &mapping;
  }
  const std::uint64_t start = offset & ~static_cast<std::uint64_t>(PageSize() - 1);
  const std::size_t length = static_cast<std::size_t>(offset - start) + bytes;
  if (free == nullptr || length == 0) return nullptr;
  const int copy = dup(descriptor);
  if (copy < 0) return nullptr;
  struct stat status;
  void* base = MAP_FAILED;
  if (fstat(copy, &status) == 0 && Guard())
    base = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, copy, static_cast<off_t>(start));
  if (base == MAP_FAILED) {
    close(copy);
    StopGuardingIfIdle();
    return nullptr;
  }
  const auto* block = static_cast<const std::uint8_t*>(base) + (offset - start);
  free->base = reinterpret_cast<std::uintptr_t>(base);
  free->length = length;
  free->start = start;
  free->block = block;
  free->descriptor = copy;
  free->stamp = StampOf(status);
  free->released = 0;
  free->cut = 0;
  free->used = 1;
  mappedBytes += length;
  return const_cast<std::uint8_t*>(block);
}

std::size_t MappedFileBytes() { return mappedBytes; }

bool UnmapFileBytes(const void* block) {
  Mapping* mapping = Find(block);
  if (mapping == nullptr) return false;
  mapping->used = 0;
  mappedBytes -= mapping->length;
  munmap(reinterpret_cast<void*>(mapping->base), mapping->length);
  close(mapping->descriptor);
  StopGuardingIfIdle();
  return true;
}

bool FileBytesChanged(const void* block) {
  const Mapping* mapping = Find(block);
  if (mapping == nullptr) return false;
  return mapping->cut != 0 || ChangedSince(mapping->descriptor, mapping->stamp);
}

void ReleaseFilePagesBefore(const void* position) {
  Mapping* mapping = Holding(position);
  if (mapping == nullptr) return;
  const std::uint64_t reached = mapping->start + (reinterpret_cast<std::uintptr_t>(position) - mapping->base);
  const std::uint64_t edge = reached / kReleaseBlock * kReleaseBlock;
  if (edge <= mapping->start + mapping->released) return;
  // From where the last call left off: the reader only goes forward.
  const auto end = static_cast<std::size_t>(edge - mapping->start);
  madvise(reinterpret_cast<void*>(mapping->base + mapping->released), end - mapping->released, MADV_DONTNEED);
  mapping->released = end;
}

void ReleaseFilePages(const void* block) {
  Mapping* mapping = Find(block);
  if (mapping == nullptr) return;
  madvise(reinterpret_cast<void*>(mapping->base), mapping->length, MADV_DONTNEED);
  mapping->released = mapping->length;
}
