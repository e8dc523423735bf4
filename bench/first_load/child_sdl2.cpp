// One first load with SDL2: SDL_LoadBMP of the file, into a surface of the
// format SDL picks for the layout (palette layouts stay indexed).
#include <SDL.h>

#include <cstring>

#include "load_child.h"

namespace {

class SdlLoader : public first_load::Loader {
 public:
  bool Load(const char* path, std::string& reason) override {
    surface_ = SDL_LoadBMP(path);
    if (surface_ != nullptr) return true;
    reason = SDL_GetError();
    return false;
  }
  std::uint32_t Width() const override { return static_cast<std::uint32_t>(surface_->w); }
  std::uint32_t Height() const override { return static_cast<std::uint32_t>(surface_->h); }
  unsigned BytesPerPixel() const override { return surface_->format->BytesPerPixel; }
  bmpgen::Colour PixelAt(std::uint32_t x, std::uint32_t y) const override {
    const SDL_PixelFormat* format = surface_->format;
    const auto* row = static_cast<const std::uint8_t*>(surface_->pixels) + std::size_t{y} * surface_->pitch;
    const std::uint8_t* p = row + std::size_t{x} * format->BytesPerPixel;
    Uint32 value = 0;
    switch (format->BytesPerPixel) {
      case 1:
        value = p[0];
        break;
      case 2: {
        Uint16 v16;
        std::memcpy(&v16, p, sizeof v16);
        value = v16;
        break;
      }
      case 3:
        value = p[0] | p[1] << 8 | p[2] << 16;  // little-endian machine
        break;
      default:
        std::memcpy(&value, p, sizeof value);
        break;
    }
    Uint8 r = 0, g = 0, b = 0;
    SDL_GetRGB(value, format, &r, &g, &b);
    return bmpgen::MakeColour(r, g, b);
  }

 private:
  SDL_Surface* surface_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  SdlLoader loader;
  return first_load::RunChild(argc, argv, loader);
}
