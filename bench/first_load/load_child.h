// The frame every process of the first-load benchmark shares: one loader, one
// file, one load. The child times the load alone, checks what it decoded and
// writes one line for rastelle_first_load to read (PEAK_MIB: the process's
// peak resident memory, VmHWM, at its end):
//
//   ok LOAD_MS CPU_MS MINOR_FAULTS HUGE_MIB BYTES_PER_PIXEL PEAK_MIB
//   cannot REASON        (the loader does not decode this layout)
//   wrong REASON         (it decoded, but not the picture the encoder meant)
//
// Usage of every child: NAME PATH LAYOUT WIDTH HEIGHT.
#pragma once

#include <cstdint>
#include <string>

#include "bitmap_writer.h"

namespace first_load {

class Loader {
 public:
  virtual ~Loader() = default;
  // Loads the file, every pixel decoded; false with the reason when it cannot.
  virtual bool Load(const char* path, std::string& reason) = 0;
  // The loaded image; asked only after Load succeeded, outside the timing.
  virtual std::uint32_t Width() const = 0;
  virtual std::uint32_t Height() const = 0;
  // The colour at (x, y), 0x00BBGGRR.
  virtual bmpgen::Colour PixelAt(std::uint32_t x, std::uint32_t y) const = 0;
  // Bytes a pixel of the result takes: loaders differ (SDL2 keeps palette
  // images indexed, gdk-pixbuf drops the unused fourth byte).
  virtual unsigned BytesPerPixel() const { return 4; }
  // False for a measurement that decodes nothing, whose pixels mean nothing.
  virtual bool Decodes() const { return true; }
};

// Parses the arguments, runs one load, prints its line and ends the process
// with status 0; returns (2) only for bad arguments.
int RunChild(int argc, char** argv, Loader& loader);

}  // namespace first_load
