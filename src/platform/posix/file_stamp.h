// What tells that another program wrote to a regular file: its size and its
// modification time, noted when it was opened. Internal to the services.
#pragma once

#include <sys/stat.h>

#include <cstdint>

struct FileStamp {
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // in nanoseconds
};

inline FileStamp StampOf(const struct stat& status) {
  return {static_cast<std::uint64_t>(status.st_size),
          std::int64_t{status.st_mtim.tv_sec} * 1000000000 + status.st_mtim.tv_nsec};
}

// Whether the open file is a regular file whose size or modification time
// differs from the stamp; a file that cannot be asked counts as changed, and
// anything but a regular file (a pipe) never does.
inline bool ChangedSince(int descriptor, const FileStamp& stamp) {
  struct stat now;
  if (fstat(descriptor, &now) != 0) return true;
  if (!S_ISREG(now.st_mode)) return false;
  const FileStamp current = StampOf(now);
  return current.size != stamp.size || current.modified != stamp.modified;
}
