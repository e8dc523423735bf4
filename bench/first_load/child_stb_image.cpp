// One first load with stb_image: stbi_load of the file to 32-bit pixels.
#include <stb_image.h>

#include <cstddef>

#include "load_child.h"

namespace {

class StbLoader : public first_load::Loader {
 public:
  bool Load(const char* path, std::string& reason) override {
    int channels = 0;
    pixels_ = stbi_load(path, &width_, &height_, &channels, 4);
    if (pixels_ != nullptr) return true;
    reason = stbi_failure_reason();
    return false;
  }
  std::uint32_t Width() const override { return static_cast<std::uint32_t>(width_); }
  std::uint32_t Height() const override { return static_cast<std::uint32_t>(height_); }
  bmpgen::Colour PixelAt(std::uint32_t x, std::uint32_t y) const override {
    const stbi_uc* p = pixels_ + (std::size_t{y} * static_cast<std::size_t>(width_) + x) * 4;
    return bmpgen::MakeColour(p[0], p[1], p[2]);
  }

 private:
  stbi_uc* pixels_ = nullptr;
  int width_ = 0, height_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  StbLoader loader;
  return first_load::RunChild(argc, argv, loader);
}
