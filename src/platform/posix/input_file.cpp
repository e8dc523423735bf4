// Reading a load's file with the system's calls: opened without waiting for a
// writer, and read with poll where data may be slow to come.
#include "../input_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "file_stamp.h"

namespace {

std::int64_t NowMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return std::int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}

// Waits until the descriptor has data or its end, or the deadline passes;
// false when it passed.
bool DataComes(int fd, std::int64_t deadline) {
  pollfd waiting{fd, POLLIN, 0};
  for (;;) {
    const std::int64_t left = deadline - NowMs();
    if (left <= 0) return false;
    const int ready = poll(&waiting, 1, static_cast<int>(left));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}

}  // namespace

bool InputFile::Open(const char* path) {
  // Without O_NONBLOCK, opening a pipe waits until something opens it for
  // writing, which may be never.
  handle_ = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (handle_ < 0) return false;
  deadline_ = NowMs() + deliveryLimitMs_;
  struct stat status;
  if (fstat(static_cast<int>(handle_), &status) == 0) {
    const FileStamp stamp = StampOf(status);
    openedSize_ = stamp.size;
    openedTime_ = stamp.modified;
  }
  return true;
}

InputFile::~InputFile() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}

std::optional<std::uint64_t> InputFile::Size() const {
  struct stat status;
  if (fstat(static_cast<int>(handle_), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(status.st_size);
}

std::size_t InputFile::Read(void* buffer, std::size_t count) {
  const int fd = static_cast<int>(handle_);
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  // Asked first, poll tells a pipe whose writer has not come yet (no answer)
  // from one whose writer has gone (its end), where a read would say the end
  // for both. A regular file answers at once.
  while (done < count && DataComes(fd, deadline_)) {
    const ssize_t n = read(fd, bytes + done, count - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
      break;  // the end, or an error
    }
  }
  return done;
}

bool InputFile::Changed() const {
  return ChangedSince(static_cast<int>(handle_), FileStamp{openedSize_, openedTime_});
}
