// Write watches over read-only pages. The fault handler is installed with
// the first watch and stays; faults that are not a watched block's first
// write go on to the handler that was there before (or the default action).
#include "write_watch.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

#include "../../../posix/fault_handlers.h"

namespace {

// The protected pages of each watched block. Read by the fault handler, so
// plain fields written before the pages are protected.
struct Slot {
  std::uintptr_t begin, end;
  volatile sig_atomic_t used, written;
};
constexpr int kSlots = 16;
Slot slots[kSlots];

// The first write to a watched block: its pages open again.
bool OnWriteFault(const siginfo_t& info) {
  const auto address = reinterpret_cast<std::uintptr_t>(info.si_addr);
  if (info.si_code != SEGV_ACCERR) return false;
  for (Slot& slot : slots) {
    if (slot.used != 0 && slot.written == 0 && address >= slot.begin && address < slot.end) {
      mprotect(reinterpret_cast<void*>(slot.begin), slot.end - slot.begin, PROT_READ | PROT_WRITE);
      slot.written = 1;
      return true;
    }
  }
  return false;
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
  if (free == kSlots || !HandleExpectedFaults(SIGSEGV, OnWriteFault)) return false;
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
