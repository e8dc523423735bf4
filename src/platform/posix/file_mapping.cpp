// Files mapped into memory. A mapped file's pages are the system's cache of
// it: nothing is copied, and nothing is touched before it is read. But a file
// that another program cuts short while it is mapped takes the pages past its
// new end away, and reading one raises SIGBUS. So while any file is mapped, a
// guard handles SIGBUS: a fault inside a mapping puts zeros from the faulting
// page to the mapping's end, in one call, and marks the mapping cut short;
// any other SIGBUS goes to the action that was there before the guard. A
// large mapping has a companion that drops the pages its reader has left
// behind (read_behind.cpp), stopped before the mapping goes.
#include "file_mapping.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "read_behind.h"

namespace {

// The mappings alive, read by the guard: plain fields, set before a mapping
// can be read.
struct Mapping {
  std::uintptr_t base;  // page-aligned start of the mapping
  std::size_t length;
  const std::uint8_t* block;  // what the caller was given
  int descriptor;             // a copy of the file's, to see whether it changed
  struct stat status;         // the file as it was mapped
  ReadBehind* follower;       // null for a small mapping, and once its pages were dropped
  volatile sig_atomic_t used, cut;
};
constexpr int kMappings = 4;
Mapping mappings[kMappings];

struct sigaction before;  // the action the guard stands in front of
bool guarding = false;

std::uintptr_t PageSize() {
  static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  return page;
}

// Zeros from the faulting page to the end of its mapping; false when the
// fault lies in no mapping.
bool ZeroPastTheCut(std::uintptr_t address) {
  for (Mapping& mapping : mappings) {
    if (mapping.used == 0 || address < mapping.base || address - mapping.base >= mapping.length) continue;
    const std::uintptr_t page = address & ~(PageSize() - 1);
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
  free->block = block;
  free->descriptor = copy;
  free->status = status;
  free->cut = 0;
  free->follower = FollowReader(base, length, start);
  free->used = 1;
  return const_cast<std::uint8_t*>(block);
}

std::size_t MappedFileBytes() {
  std::size_t bytes = 0;
  for (const Mapping& mapping : mappings) {
    if (mapping.used != 0) bytes += mapping.length;
  }
  return bytes;
}

bool UnmapFileBytes(const void* block) {
  Mapping* mapping = Find(block);
  if (mapping == nullptr) return false;
  StopFollowing(mapping->follower);
  mapping->follower = nullptr;
  mapping->used = 0;
  munmap(reinterpret_cast<void*>(mapping->base), mapping->length);
  close(mapping->descriptor);
  StopGuardingIfIdle();
  return true;
}

bool FileBytesChanged(const void* block) {
  const Mapping* mapping = Find(block);
  if (mapping == nullptr) return false;
  if (mapping->cut != 0) return true;
  struct stat now;
  if (fstat(mapping->descriptor, &now) != 0) return true;
  const struct stat& then = mapping->status;
  return now.st_size != then.st_size || now.st_mtim.tv_sec != then.st_mtim.tv_sec ||
         now.st_mtim.tv_nsec != then.st_mtim.tv_nsec;
}

bool DropFileBytePages(const void* block) {
  Mapping* mapping = Find(block);
  if (mapping == nullptr) return false;
  StopFollowing(mapping->follower);
  mapping->follower = nullptr;
  madvise(reinterpret_cast<void*>(mapping->base), mapping->length, MADV_DONTNEED);
  return true;
}

// For tests: the companion's step for the mapping of block, at once.
void DropPagesBehindReader(const void* block) {
  const Mapping* mapping = Find(block);
  if (mapping != nullptr && mapping->follower != nullptr) DropPagesBehind(*mapping->follower);
}
