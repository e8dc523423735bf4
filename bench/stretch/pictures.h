// Test pictures with detail down to single pixels, and the exact area
// average they reduce to, for the reduction quality benchmark.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// width x height COLORREFs (0x00BBGGRR), top row first.
struct Picture {
  std::string name;
  int width, height;
  std::vector<std::uint32_t> pixels;
};

// Rings whose frequency rises from the centre outwards: half a cycle per
// pixel at the middle of each edge.
Picture ZonePlate(int size);

// One-pixel black lines on white, every seventh column and row: a period that
// no power of two divides.
Picture Grid(int size);

// Per-pixel noise of +-48 over red, green and blue gradients.
Picture NoisyGradients(int size);

// Compares a reduction with the exact area average of the picture onto
// width x height pixels (each destination pixel the mean of the source area
// it covers, partly covered source pixels weighed by the part they
// contribute), computed here in double precision, row by row. Returns the
// PSNR in dB of each candidate, given as width x height COLORREFs.
std::vector<double> PsnrAgainstExact(const Picture& picture, int width, int height,
                                     const std::vector<const std::vector<std::uint32_t>*>& candidates);
