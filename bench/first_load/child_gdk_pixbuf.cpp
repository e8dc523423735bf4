// One first load with gdk-pixbuf: gdk_pixbuf_new_from_file, which finds the
// bitmap module and decodes into a pixbuf of 3 or 4 bytes a pixel.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstddef>

#include "load_child.h"

namespace {

class PixbufLoader : public first_load::Loader {
 public:
  bool Load(const char* path, std::string& reason) override {
    GError* error = nullptr;
    pixbuf_ = gdk_pixbuf_new_from_file(path, &error);
    if (pixbuf_ != nullptr) {
      pixels_ = gdk_pixbuf_read_pixels(pixbuf_);
      return true;
    }
    reason = error != nullptr ? error->message : "no pixbuf";
    if (error != nullptr) g_error_free(error);
    return false;
  }
  std::uint32_t Width() const override { return static_cast<std::uint32_t>(gdk_pixbuf_get_width(pixbuf_)); }
  std::uint32_t Height() const override { return static_cast<std::uint32_t>(gdk_pixbuf_get_height(pixbuf_)); }
  unsigned BytesPerPixel() const override {
    return static_cast<unsigned>(gdk_pixbuf_get_n_channels(pixbuf_));
  }
  bmpgen::Colour PixelAt(std::uint32_t x, std::uint32_t y) const override {
    const std::size_t stride = static_cast<std::size_t>(gdk_pixbuf_get_rowstride(pixbuf_));
    const std::size_t channels = static_cast<std::size_t>(gdk_pixbuf_get_n_channels(pixbuf_));
    const guint8* p = pixels_ + std::size_t{y} * stride + std::size_t{x} * channels;
    return bmpgen::MakeColour(p[0], p[1], p[2]);
  }

 private:
  GdkPixbuf* pixbuf_ = nullptr;
  const guint8* pixels_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  PixbufLoader loader;
  return first_load::RunChild(argc, argv, loader);
}
