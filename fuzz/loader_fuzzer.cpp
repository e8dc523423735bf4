// Hands each input to LoadBitmapFile as a file, the way a dropped file arrives,
// and releases the surface before the next one as the viewer window does; the
// file body stays until the next load frees it. The input goes through an
// in-memory file, so the loader reads it by path like any other.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "loader/bitmap_loader.h"

namespace {

struct InputFile {
  int fd;
  std::string path;
};

const InputFile& TheInputFile() {
  static const InputFile file = [] {
    const int fd = memfd_create("rastelle-fuzz-input", 0);
    if (fd < 0) {
      std::perror("memfd_create");
      std::abort();
    }
    return InputFile{fd, "/proc/self/fd/" + std::to_string(fd)};
  }();
  return file;
}

void WriteInput(const std::uint8_t* data, std::size_t size) {
  const int fd = TheInputFile().fd;
  if (ftruncate(fd, 0) != 0) std::abort();
  std::size_t written = 0;
  while (written < size) {
    const ssize_t n = pwrite(fd, data + written, size - written, static_cast<off_t>(written));
    if (n <= 0) std::abort();
    written += static_cast<std::size_t>(n);
  }
}

// What the window does before it loads a dropped file.
void ReleaseSurface() {
  if (CurrentImage.surfaceDc == nullptr) return;
  DeleteDC(CurrentImage.surfaceDc);
  DeleteObject(CurrentImage.surfaceBitmap);
  CurrentImage.surfaceDc = nullptr;
}

// A broken promise of the loader is a finding like a crash.
void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "loader broke its promise: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ReleaseSurface();
  WriteInput(data, size);
  const int result = LoadBitmapFile(TheInputFile().path.c_str());
  Require(result == 0 || result == -1, "the result is 0 or -1");
  Require((result == 0) == (CurrentImage.surfaceDc != nullptr), "a surface exists exactly after a success");
  // A body read from this file never holds more than the file has after its
  // header; a file cut short or without the signature keeps the previous one.
  const bool readBody = size >= 14 && data[0] == 'B' && data[1] == 'M';
  if (readBody && CurrentImage.fileBody != nullptr) {
    Require(CurrentImage.fileBodyRead <= size - 14, "the body fits in the file");
  }
  // -2147483648 rows have no non-negative counterpart in 32 bits.
  if (result == 0) Require(CurrentImage.height >= 0 || CurrentImage.height == -2147483647 - 1, "height >= 0");
  return 0;
}
