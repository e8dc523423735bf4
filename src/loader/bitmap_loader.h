// Loading a bitmap file into the image the viewer shows.
#pragma once

#include <cstdint>

#include "../platform/win32.h"

// The one record of the loaded image. All zero at process start.
struct LoadedImage {
  std::uint8_t* fileBody;      // the file from offset 14 on; freed by the next load
  std::uint32_t fileBodySize;  // bfSize - 14, wrapping: the size the file declares
  std::uint32_t fileBodyRead;  // the bytes of fileBody actually read, its size
  std::uint32_t pixelOffset;   // bfOffBits - 14, wrapping: pixel data in fileBody
  std::uint32_t headerSize;    // bcSize or biSize; 12 selects the core header
  std::int32_t width;
  std::int32_t height;  // signed while the renderer runs, then non-negative
  std::uint32_t bitCount;
  std::uint32_t compression;
  HDC surfaceDc;  // null while no image is shown
  HBITMAP surfaceBitmap;
};

extern LoadedImage CurrentImage;

// The viewer window, which the application owns; null until start-up has
// created it. A new surface is made compatible with its device context, or
// with the screen's while it is null.
extern HWND mainDialog;

// Reads the bitmap file at path, records its header in CurrentImage, creates
// the surface and draws the image into it. 0 when a surface was created
// (also for layouts nothing draws), -1 on every failure.
int LoadBitmapFile(const char* path);
