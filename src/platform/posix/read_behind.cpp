// Pages of a large mapped file left behind by its reader. A renderer walks a
// file's pixel data once, forward, and every page it has read stays in the
// process's memory until the mapping goes; with the surface it draws on, a
// load then holds the whole file and the whole picture at once. So while a
// mapping of 16 MiB or more is alive, a companion thread looks every few
// milliseconds how far the reader has got and takes the pages more than 8 MiB
// behind that out of the process's memory (MADV_DONTNEED). They stay the
// system's cache of the file: a page dropped too early costs a fault that
// maps it again, not a read, and reads the same bytes.
//
// Pages go in whole 2 MiB blocks of the file. The page cache may hold a large
// file in blocks of up to that size, and taking part of one out of a mapping
// costs far more than taking all of it: dropping the 192 MiB of a file read
// through a mapping took 36 ms in 1 MiB pieces, 9 to 11 ms in 2 MiB pieces on
// the blocks' edges and 8 ms in one call.
//
// How far the reader has got is the furthest page present in the process's
// page table (/proc/self/pagemap, 8 bytes a page, bit 63 set for a page
// present). The pages before it are known, so each look reads only from there
// on, a chunk at a time, while the pages found present run on. A fault maps a
// few pages ahead of the one read (up to 64 KiB), which the margin dwarfs.
// Where the page table cannot be read, nothing is started.
#include "read_behind.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <new>
#include <stop_token>
#include <system_error>
#include <thread>

namespace {

constexpr std::size_t kLargeMapping = std::size_t{16} << 20;
constexpr std::size_t kMargin = std::size_t{8} << 20;
constexpr auto kPeriod = std::chrono::milliseconds(4);
constexpr std::size_t kBlock = std::size_t{2} << 20;  // the page cache's largest unit, and ours
constexpr std::size_t kChunkPages = 512;              // page-table entries read at once
constexpr std::uint64_t kPresent = std::uint64_t{1} << 63;

std::size_t PageSize() {
  static const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return page;
}

}  // namespace

struct ReadBehind {
  std::uintptr_t base;  // page-aligned
  std::size_t pages;
  std::uint64_t firstPage;  // the file's page at base
  int pageMap;
  std::size_t reached = 0;  // pages up to the furthest one found present
  std::size_t dropped = 0;  // pages from the start taken out already
  std::mutex lock;          // one step at a time: the companion's or a test's
  std::condition_variable_any wake;
  std::jthread companion;
};

namespace {

// The page-table entries of count pages from the page first on.
bool ReadEntries(const ReadBehind& follower, std::size_t first, std::uint64_t* entries, std::size_t count) {
  const std::size_t bytes = count * sizeof *entries;
  const std::uint64_t entry = follower.base / PageSize() + first;
  return pread(follower.pageMap, entries, bytes, static_cast<off_t>(entry * sizeof *entries)) ==
         static_cast<ssize_t>(bytes);
}

void Follow(std::stop_token stop, ReadBehind* follower) {
  for (;;) {
    {
      std::unique_lock hold(follower->lock);
      follower->wake.wait_for(hold, stop, kPeriod, [] { return false; });
    }
    if (stop.stop_requested()) return;
    DropPagesBehind(*follower);
  }
}

}  // namespace

void DropPagesBehind(ReadBehind& follower) {
  std::lock_guard hold(follower.lock);
  std::uint64_t entries[kChunkPages];
  for (std::size_t from = follower.reached; from < follower.pages;) {
    const std::size_t count = std::min(kChunkPages, follower.pages - from);
    if (!ReadEntries(follower, from, entries, count)) break;
    std::size_t present = count;
    while (present > 0 && (entries[present - 1] & kPresent) == 0) --present;
    if (present > 0) follower.reached = from + present;
    // The pages present end inside this chunk: the reader is there.
    if (present < count) break;
    from += count;
  }
  const std::size_t page = PageSize();
  const std::size_t margin = kMargin / page, block = kBlock / page;
  if (follower.reached <= margin) return;
  // Up to the last edge of a block of the file that lies the margin behind.
  const std::uint64_t end = (follower.firstPage + follower.reached - margin) / block * block;
  if (end <= follower.firstPage + follower.dropped) return;
  const auto until = static_cast<std::size_t>(end - follower.firstPage);
  madvise(reinterpret_cast<void*>(follower.base + follower.dropped * page), (until - follower.dropped) * page,
          MADV_DONTNEED);
  follower.dropped = until;
}

ReadBehind* FollowReader(const void* base, std::size_t length, std::uint64_t fileOffset) {
  if (length < kLargeMapping) return nullptr;
  const int pageMap = open("/proc/self/pagemap", O_RDONLY | O_CLOEXEC);
  if (pageMap < 0) return nullptr;
  auto* follower = new (std::nothrow) ReadBehind{};
  if (follower == nullptr) {
    close(pageMap);
    return nullptr;
  }
  follower->base = reinterpret_cast<std::uintptr_t>(base);
  follower->pages = (length + PageSize() - 1) / PageSize();
  follower->firstPage = fileOffset / PageSize();
  follower->pageMap = pageMap;
  std::uint64_t entry = 0;
  if (!ReadEntries(*follower, 0, &entry, 1)) {
    StopFollowing(follower);
    return nullptr;
  }
  try {
    follower->companion = std::jthread(Follow, follower);
  } catch (const std::system_error&) {
    StopFollowing(follower);
    return nullptr;
  }
  return follower;
}

void StopFollowing(ReadBehind* follower) {
  if (follower == nullptr) return;
  // Asked to stop, which wakes it, and joined: nothing reads the page table
  // or drops a page after this.
  follower->companion = std::jthread();
  close(follower->pageMap);
  delete follower;
}
