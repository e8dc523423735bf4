// Write watches over read-only pages. The fault handler is installed with
// the first watch and stays; faults that are not a watched block's first
// write go on to the handler that was there before (or the default action).
#include "write_watch.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace {

// The protected pages of each watched block. Read by the fault handler, so
// plain fields written before the pages are protected.
struct Slot {
  std::uintptr_t begin, end;
  volatile sig_atomic_t used, written;
};
constexpr int kSlots = 16;
Slot slots[kSlots];

struct sigaction previousAction;
bool handlerInstalled = false;

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

void OnFault(int signal, siginfo_t* info, void* context) {
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  if (info->si_code == SEGV_ACCERR) {
    for (Slot& slot : slots) {
      if (slot.used != 0 && slot.written == 0 && address >= slot.begin && address < slot.end) {
        mprotect(reinterpret_cast<void*>(slot.begin), slot.end - slot.begin, PROT_READ | PROT_WRITE);
        slot.written = 1;
        return;
      }
    }
  }
  PassOn(signal, info, context);
}

bool InstallHandler() {
  if (handlerInstalled) return true;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = OnFault;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  handlerInstalled = sigaction(SIGSEGV, &action, &previousAction) == 0;
  return handlerInstalled;
}

std::vector<unsigned char> Copy(const unsigned char* from, const unsigned char* to) {
  return std::vector<unsigned char>(from, to);
}

}  // namespace

bool WatchWrites(WriteWatch& watch, const void* block, std::size_t bytes) {
  StopWatching(watch);
  static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto first = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t last = first + bytes;
  std::uintptr_t begin = (first + page - 1) & ~(page - 1);
  std::uintptr_t end = last & ~(page - 1);
  if (end <= begin) begin = end = last;  // no whole page: all of it is kept aside
  int free = 0;
  while (free < kSlots && slots[free].used != 0) ++free;
  if (free == kSlots || !InstallHandler()) return false;
  const auto* bytesOf = static_cast<const unsigned char*>(block);
  watch.head = bytesOf;
  watch.headBytes = Copy(bytesOf, bytesOf + (begin - first));
  watch.tail = bytesOf + (end - first);
  watch.tailBytes = Copy(watch.tail, bytesOf + bytes);
  slots[free].begin = begin;
  slots[free].end = end;
  slots[free].written = 0;
  if (end > begin && mprotect(reinterpret_cast<void*>(begin), end - begin, PROT_READ) != 0) return false;
  slots[free].used = 1;
  watch.slot = free;
  return true;
}

bool WrittenSince(const WriteWatch& watch) {
  if (watch.slot < 0) return true;
  if (slots[watch.slot].written != 0) return true;
  return !std::equal(watch.headBytes.begin(), watch.headBytes.end(), watch.head) ||
         !std::equal(watch.tailBytes.begin(), watch.tailBytes.end(), watch.tail);
}

void StopWatching(WriteWatch& watch) {
  if (watch.slot < 0) return;
  Slot& slot = slots[watch.slot];
  if (slot.written == 0 && slot.end > slot.begin) {
    mprotect(reinterpret_cast<void*>(slot.begin), slot.end - slot.begin, PROT_READ | PROT_WRITE);
  }
  slot.used = 0;
  watch = WriteWatch{};
}
