#include "loaded_image.h"

#include <cstdio>
#include <sstream>

#include "platform/memory.h"

namespace {
std::vector<std::string> recorded;
void Record(const char* format) { recorded.emplace_back(format); }
}  // namespace

void ResetCurrentImage() {
  if (CurrentImage.surfaceDc != nullptr) {
    DeleteDC(CurrentImage.surfaceDc);
    DeleteObject(CurrentImage.surfaceBitmap);
  }
  FreeBlock(CurrentImage.fileBody, CurrentImage.fileBodyRead);
  CurrentImage = LoadedImage{};
}

int LoadBytes(const ByteVector& bytes) { return LoadBitmapFile(WriteTempFile(bytes).c_str()); }

bool SurfaceCanBeMade(std::int32_t width, std::int32_t height) {
  if (width < 0 || height == -2147483647 - 1) return false;
  const std::uint64_t w = width == 0 ? 1 : static_cast<std::uint64_t>(width);
  const std::uint64_t h =
      height == 0 ? 1 : static_cast<std::uint64_t>(height < 0 ? -std::int64_t{height} : height);
  return w * h * 4 <= (std::uint64_t{1} << 30);
}

std::int32_t TallestSurface(std::int32_t width) {
  return static_cast<std::int32_t>((std::uint64_t{1} << 30) / 4 /
                                   static_cast<std::uint64_t>(width == 0 ? 1 : width));
}

Raster SurfacePixels() {
  Raster raster;
  HDC dc = CurrentImage.surfaceDc;
  if (dc == nullptr) return raster;
  for (std::size_t y = 0; y < dc->height; ++y) {
    std::vector<COLORREF> row;
    for (std::size_t x = 0; x < dc->width; ++x)
      row.push_back(GetPixel(dc, static_cast<int>(x), static_cast<int>(y)));
    raster.push_back(row);
  }
  return raster;
}

TraceRecorder::TraceRecorder() {
  recorded.clear();
  traceListener = Record;
}

TraceRecorder::~TraceRecorder() { traceListener = nullptr; }

const std::vector<std::string>& TraceRecorder::formats() const { return recorded; }

std::string DescribeRaster(const Raster& raster) {
  std::ostringstream out;
  for (const auto& row : raster) {
    for (COLORREF c : row) {
      char text[12];
      std::snprintf(text, sizeof text, " %06X", c);
      out << text;
    }
    out << '\n';
  }
  return out.str();
}

#include <iconv.h>

std::string Cp932(const std::string& utf8) {
  iconv_t convert = iconv_open("CP932", "UTF-8");
  std::string in = utf8;
  std::string out(in.size() * 2 + 4, '\0');
  char* source = in.data();
  char* target = out.data();
  std::size_t left = in.size();
  std::size_t room = out.size();
  iconv(convert, &source, &left, &target, &room);
  iconv_close(convert);
  out.resize(out.size() - room);
  return out;
}
