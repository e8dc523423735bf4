// The bound a first load cannot beat by much: the file read whole into fresh
// memory, then one write over a fresh surface of width x height 32-bit pixels.
// Both blocks come from malloc (ordinary pages), as a loader that does nothing
// clever would get them. Nothing is decoded, so nothing is checked.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "load_child.h"

namespace {

class BoundLoader : public first_load::Loader {
 public:
  BoundLoader(std::uint32_t width, std::uint32_t height) : width_(width), height_(height) {}

  bool Load(const char* path, std::string& reason) override {
    const int fd = open(path, O_RDONLY);
    struct stat status {};
    if (fd < 0 || fstat(fd, &status) != 0) {
      reason = std::strerror(errno);
      if (fd >= 0) close(fd);
      return false;
    }
    const auto size = static_cast<std::size_t>(status.st_size);
    body_ = static_cast<std::uint8_t*>(std::malloc(size));
    std::size_t filled = 0;
    while (body_ != nullptr && filled < size) {
      const ssize_t got = read(fd, body_ + filled, size - filled);
      if (got <= 0) break;
      filled += static_cast<std::size_t>(got);
    }
    close(fd);
    const std::size_t pixels = std::size_t{width_} * height_;
    surface_ = static_cast<std::uint32_t*>(std::malloc(pixels * 4));
    if (body_ == nullptr || filled != size || surface_ == nullptr) {
      reason = "no memory or short read";
      return false;
    }
    // White, a value memset cannot write, so that this stays a loop of
    // 32-bit stores like a renderer's.
    std::fill_n(surface_, pixels, 0x00FFFFFFu);
    return true;
  }
  std::uint32_t Width() const override { return width_; }
  std::uint32_t Height() const override { return height_; }
  bmpgen::Colour PixelAt(std::uint32_t x, std::uint32_t y) const override {
    return surface_[std::size_t{y} * width_ + x];
  }
  bool Decodes() const override { return false; }

 private:
  std::uint32_t width_, height_;
  std::uint8_t* body_ = nullptr;
  std::uint32_t* surface_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  // RunChild refuses a wrong argument count before anything is loaded.
  const auto size = [&](int i) {
    return i < argc ? static_cast<std::uint32_t>(std::strtoul(argv[i], nullptr, 10)) : 0u;
  };
  BoundLoader loader(size(3), size(4));
  return first_load::RunChild(argc, argv, loader);
}
