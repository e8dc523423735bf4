// One first load with Rastelle's loader: LoadBitmapFile reads the file and
// decodes every pixel into the surface, as the viewer does on a drop.
#include "load_child.h"
#include "loader/bitmap_loader.h"

namespace {

class RastelleLoader : public first_load::Loader {
 public:
  bool Load(const char* path, std::string& reason) override {
    if (LoadBitmapFile(path) == 0) return true;
    reason = "LoadBitmapFile failed";
    return false;
  }
  std::uint32_t Width() const override { return static_cast<std::uint32_t>(CurrentImage.width); }
  std::uint32_t Height() const override { return static_cast<std::uint32_t>(CurrentImage.height); }
  unsigned BytesPerPixel() const override { return static_cast<unsigned>(kBytesPerPixel); }
  bmpgen::Colour PixelAt(std::uint32_t x, std::uint32_t y) const override {
    return GetPixel(CurrentImage.surfaceDc, static_cast<int>(x), static_cast<int>(y));
  }
};

}  // namespace

int main(int argc, char** argv) {
  RastelleLoader loader;
  return first_load::RunChild(argc, argv, loader);
}
