// Notices the first write to a block of memory without slowing any write
// down: the block's whole pages are made read-only, and the fault of the
// first write to them opens them again and marks the block written. The few
// bytes at either end that share a page with other memory are kept aside and
// compared instead. Internal to the drawing part of the layer, which watches
// bitmaps whose reduced copies it keeps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct WriteWatch {
  int slot = -1;  // in the table the fault handler reads; -1: not watching
  const unsigned char* head = nullptr;
  const unsigned char* tail = nullptr;
  std::vector<unsigned char> headBytes, tailBytes;
};

// Starts watching; false when the block cannot be watched (then nothing is).
bool WatchWrites(WriteWatch& watch, const void* block, std::size_t bytes);

// Whether the block may have been written since the watch started.
bool WrittenSince(const WriteWatch& watch);

// Ends the watch and leaves the block writable. Nothing for a watch that is
// not running.
void StopWatching(WriteWatch& watch);
