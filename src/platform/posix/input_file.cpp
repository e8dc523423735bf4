// Reading a load's file with the system's calls: opened without waiting for a
// writer, and read with poll where data may be slow to come.
#include "../input_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Waits until the descriptor has data or its end, or the silence limit passes;
// false for silence.
bool DataComes(int fd) {
  pollfd waiting{fd, POLLIN, 0};
  for (;;) {
    const int ready = poll(&waiting, 1, kSilenceLimitMs);
    if (ready > 0) return true;
    if (ready == 0 || errno != EINTR) return false;
  }
}

}  // namespace

bool InputFile::Open(const char* path) {
  // Without O_NONBLOCK, opening a pipe waits until something opens it for
  // writing, which may be never.
  handle_ = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  return handle_ >= 0;
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
  while (done < count && DataComes(fd)) {
    const ssize_t n = read(fd, bytes + done, count - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
      break;  // the end, or an error
    }
  }
  return done;
}
