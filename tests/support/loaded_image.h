// Loading test files and looking at what the loader made of them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bmp_builder.h"
#include "loader/bitmap_loader.h"
#include "trace.h"
#include "trace_listener.h"

// Releases the surface and the file body, and zeroes CurrentImage, as at
// process start.
void ResetCurrentImage();

// Writes the file and loads it.
int LoadBytes(const ByteVector& bytes);

// Whether a surface of the declared size can be made: a width that is not
// negative, a height other than -2^31, and at most 2^28 pixels
// (a zero side counts as one). A load of any other size fails.
bool SurfaceCanBeMade(std::int32_t width, std::int32_t height);

// The most rows a surface of this width can have.
std::int32_t TallestSurface(std::int32_t width);

// The surface's pixels, row by row, as COLORREFs.
using Raster = std::vector<std::vector<COLORREF>>;
Raster SurfacePixels();

// Collects the trace formats of a load.
class TraceRecorder {
 public:
  TraceRecorder();
  ~TraceRecorder();
  const std::vector<std::string>& formats() const;
};

// Each test starts and ends with an empty CurrentImage.
class LoaderTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetCurrentImage(); }
  void TearDown() override { ResetCurrentImage(); }
};

// A raster as text, one row a line, for failure messages.
std::string DescribeRaster(const Raster& raster);

// The code page 932 bytes of a UTF-8 text.
std::string Cp932(const std::string& utf8);
