// A file opened for one load: its size when it has one, and reads that never
// wait long for data that does not come. A path may name something other than
// a regular file (a pipe from a shell, say), which delivers its bytes as they
// are written; opening never waits for a writer, and reads give up once
// kDeliveryLimitMs have passed since the file was opened, so that a pipe that
// is silent, or feeds a byte now and then, cannot hold the viewer for long.
// (A shorter limit may be given, as the tests do.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

constexpr int kDeliveryLimitMs = 5000;

class InputFile {
 public:
  explicit InputFile(int deliveryLimitMs = kDeliveryLimitMs) : deliveryLimitMs_(deliveryLimitMs) {}

  // Opens the path for reading; false when it cannot be opened.
  bool Open(const char* path);
  ~InputFile();

  // The bytes a regular file holds; nothing for anything else.
  std::optional<std::uint64_t> Size() const;

  // Reads up to count bytes and returns how many arrived: fewer at the end of
  // the file, on an error, or when the time to deliver them is up.
  std::size_t Read(void* buffer, std::size_t count);

  // Whether a regular file has another size or modification time than when
  // it was opened: another program wrote to it meanwhile, and what was read
  // may be part old, part new.
  bool Changed() const;

  // The system's handle of the open file.
  std::intptr_t handle() const { return handle_; }

 private:
  int deliveryLimitMs_;
  std::intptr_t handle_ = -1;
  std::int64_t deadline_ = 0;  // in the clock of the system's own calls
  std::uint64_t openedSize_ = 0;
  std::int64_t openedTime_ = 0;  // modification time, in nanoseconds
};
