// Paths in their wide form. The viewer is handed paths as bytes in the ANSI
// code page, on its command line and by DragQueryFileA, and that page cannot
// spell every name: a character it lacks arrives as '?' or as a look-alike,
// and the file does not open. So the entry and the drop keep the wide form of
// each path beside the bytes the viewer sees, and a file is opened by the
// wide form of the bytes it is asked for wherever there is one. The bytes,
// and everything the viewer does with them, stay as they were.
#pragma once

#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

// The command line less the program's name, in UTF-16 as the runtime start-up
// gives it and as the ANSI bytes WinMain is handed, with the byte offset at
// which each character begins (and the end): a part of the bytes has a wide
// form when both its ends fall on such offsets.
struct KeptCommandLine {
  std::wstring wide;
  std::string bytes;
  struct Boundary {
    std::size_t byte, unit;
  };
  std::vector<Boundary> boundaries;
};
inline KeptCommandLine keptCommandLine;

// The path of the drop read last, as bytes and in its wide form.
struct KeptDroppedPath {
  std::string bytes;
  std::wstring wide;
};
inline KeptDroppedPath keptDroppedPath;

// Keeps the wide command line and returns its ANSI bytes, NUL-terminated, for
// WinMain, which may edit them in place. Each character is converted on its
// own, so that its bytes are known; a surrogate pair is one character.
inline char* KeepCommandLine(const wchar_t* commandLine) {
  KeptCommandLine& kept = keptCommandLine;
  kept = KeptCommandLine{commandLine, {}, {}};
  for (std::size_t unit = 0; unit < kept.wide.size();) {
    const int units = IS_HIGH_SURROGATE(kept.wide[unit]) && unit + 1 < kept.wide.size() &&
                              IS_LOW_SURROGATE(kept.wide[unit + 1])
                          ? 2
                          : 1;
    char bytes[8];
    int count =
        WideCharToMultiByte(CP_ACP, 0, kept.wide.data() + unit, units, bytes, sizeof bytes, nullptr, nullptr);
    if (count <= 0) bytes[0] = '?', count = 1;
    kept.boundaries.push_back({kept.bytes.size(), unit});
    kept.bytes.append(bytes, static_cast<std::size_t>(count));
    unit += static_cast<std::size_t>(units);
  }
  kept.boundaries.push_back({kept.bytes.size(), kept.wide.size()});
  return kept.bytes.data();
}

// The wide form of path: the part of the command line it points into, or the
// dropped path it spells. False when there is none.
inline bool WideFormOf(const char* path, std::wstring& wide) {
  const KeptCommandLine& line = keptCommandLine;
  const std::less_equal<const char*> notAfter;
  if (!line.boundaries.empty() && notAfter(line.bytes.data(), path) &&
      notAfter(path, line.bytes.data() + line.bytes.size())) {
    const std::size_t begin = static_cast<std::size_t>(path - line.bytes.data());
    const std::size_t end = begin + std::strlen(path);
    const KeptCommandLine::Boundary* first = nullptr;
    const KeptCommandLine::Boundary* last = nullptr;
    for (const KeptCommandLine::Boundary& boundary : line.boundaries) {
      if (boundary.byte == begin) first = &boundary;
      if (boundary.byte == end) last = &boundary;
    }
    if (first == nullptr || last == nullptr) return false;
    wide = line.wide.substr(first->unit, last->unit - first->unit);
    return true;
  }
  if (!keptDroppedPath.wide.empty() && keptDroppedPath.bytes == path) {
    wide = keptDroppedPath.wide;
    return true;
  }
  return false;
}

// Opens a file for reading in binary: by the wide form of path where there is
// one, otherwise (or if that fails) by its bytes.
inline std::FILE* OpenFileForReading(const char* path) {
  std::wstring wide;
  if (WideFormOf(path, wide)) {
    if (std::FILE* file = _wfopen(wide.c_str(), L"rb")) return file;
  }
  return std::fopen(path, "rb");
}

// DragQueryFileA, which also keeps the wide form of the path it copies. A
// path cut to the buffer keeps none (the viewer does not open a cut path).
inline UINT DragQueryFileKeepingWide(HDROP drop, UINT index, LPSTR buffer, UINT size) {
  const UINT copied = DragQueryFileA(drop, index, buffer, size);
  keptDroppedPath = KeptDroppedPath{};
  if (buffer == nullptr || size == 0 || index == 0xFFFFFFFF ||
      DragQueryFileA(drop, index, nullptr, 0) >= size) {
    return copied;
  }
  const UINT units = DragQueryFileW(drop, index, nullptr, 0);
  std::wstring wide(units + 1, L'\0');
  if (DragQueryFileW(drop, index, wide.data(), units + 1) != units) return copied;
  wide.resize(units);
  keptDroppedPath = KeptDroppedPath{buffer, std::move(wide)};
  return copied;
}

// Code that includes the platform header calls the stand-in under the name it
// knows.
#define DragQueryFileA DragQueryFileKeepingWide
