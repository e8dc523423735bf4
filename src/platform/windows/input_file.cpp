// Reading a load's file with the C library, opened by the wide form of its
// path where the platform kept one.
#include "../input_file.h"

#include <sys/stat.h>

#include <cstdio>

#include "wide_paths.h"

namespace {

std::FILE* Stream(std::intptr_t handle) { return reinterpret_cast<std::FILE*>(handle); }

}  // namespace

bool InputFile::Open(const char* path) {
  std::FILE* file = OpenFileForReading(path);
  if (file == nullptr) return false;
  handle_ = reinterpret_cast<std::intptr_t>(file);
  struct _stat64 status;
  if (_fstat64(_fileno(file), &status) == 0) {
    openedSize_ = static_cast<std::uint64_t>(status.st_size);
    openedTime_ = static_cast<std::int64_t>(status.st_mtime);
  }
  return true;
}

InputFile::~InputFile() {
  if (handle_ != -1) std::fclose(Stream(handle_));
}

std::optional<std::uint64_t> InputFile::Size() const {
  struct _stat64 status;
  if (_fstat64(_fileno(Stream(handle_)), &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG)
    return std::nullopt;
  return static_cast<std::uint64_t>(status.st_size);
}

std::size_t InputFile::Read(void* buffer, std::size_t count) {
  return std::fread(buffer, 1, count, Stream(handle_));
}

bool InputFile::Changed() const {
  struct _stat64 status;
  if (_fstat64(_fileno(Stream(handle_)), &status) != 0) return true;
  if ((status.st_mode & _S_IFMT) != _S_IFREG) return false;
  return static_cast<std::uint64_t>(status.st_size) != openedSize_ ||
         static_cast<std::int64_t>(status.st_mtime) != openedTime_;
}
