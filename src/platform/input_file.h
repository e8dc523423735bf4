// A file opened for one load: its size when it has one, and reads that never
// wait long for data that does not come. A path may name something other than
// a regular file (a pipe from a shell, say), which delivers its bytes as they
// are written; opening never waits for a writer, and a read gives up once
// nothing has arrived for kSilenceLimitMs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

constexpr int kSilenceLimitMs = 3000;

class InputFile {
 public:
  // Opens the path for reading; false when it cannot be opened.
  bool Open(const char* path);
  ~InputFile();

  // The bytes a regular file holds; nothing for anything else.
  std::optional<std::uint64_t> Size() const;

  // Reads up to count bytes and returns how many arrived: fewer at the end of
  // the file, on an error, or when it fell silent.
  std::size_t Read(void* buffer, std::size_t count);

  // The system's handle of the open file.
  std::intptr_t handle() const { return handle_; }

 private:
  std::intptr_t handle_ = -1;
};
