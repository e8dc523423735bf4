// Files mapped into memory. A mapped file's pages are the system's cache of
// it: nothing is copied, and nothing is touched before it is read. But a file
// that another program cuts short while it is mapped takes the pages past its
// new end away, and reading one raises SIGBUS. So a handler, installed with
// the first mapping, puts a page of zeros where such a page was and marks the
// mapping cut short; faults anywhere else go on to the handler that was there
// before, or to the default action.
#include "file_mapping.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

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

struct sigaction previousAction;
bool handlerInstalled = false;

std::uintptr_t PageSize() {
  static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  return page;
}

void PassOn(int signal, siginfo_t* info, void* context) {
  if ((previousAction.sa_flags & SA_SIGINFO) != 0 && previousAction.sa_sigaction != nullptr) {
    previousAction.sa_sigaction(signal, info, context);
  } else if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
    previousAction.sa_handler(signal);
  } else {
    // The faulting instruction runs again and takes the default action.
    ::signal(signal, SIG_DFL);
  }
}

void OnBusError(int signal, siginfo_t* info, void* context) {
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (Mapping& mapping : mappings) {
    if (mapping.used == 0 || address < mapping.base || address - mapping.base >= mapping.length) continue;
    void* page = reinterpret_cast<void*>(address & ~(PageSize() - 1));
    if (mmap(page, PageSize(), PROT_READ, MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) != MAP_FAILED) {
      mapping.cut = 1;
      return;
    }
  }
  PassOn(signal, info, context);
}

bool InstallHandler() {
  if (handlerInstalled) return true;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = OnBusError;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  handlerInstalled = sigaction(SIGBUS, &action, &previousAction) == 0;
  return handlerInstalled;
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
  if (free == nullptr || !InstallHandler()) return nullptr;
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
