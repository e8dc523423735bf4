// bmpgen: writes test pictures as bitmap files in any stored layout, the seed
// corpus of small files of every layout, and the sample picture.
//
//   bmpgen --layout L --width W --height H [--top-down] [--header H] --out FILE
//   bmpgen --corpus DIR
//   bmpgen --sample FILE
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "bitmap_writer.h"

namespace {

using namespace bmpgen;

int Usage() {
  std::fprintf(stderr,
               "usage: bmpgen --layout L --width W --height H [--top-down] [--header H] --out FILE\n"
               "       bmpgen --corpus DIR\n"
               "       bmpgen --sample FILE\n"
               "layouts: mono1 indexed4 indexed8 rle4 rle8 rgb555 rgb24 rgb32 bitfields16 bitfields32\n"
               "headers: info40 (default) info108 info124 core\n");
  return 2;
}

bool ParseSize(const char* text, std::uint32_t& value) {
  char* end = nullptr;
  const unsigned long long parsed = std::strtoull(text, &end, 10);
  if (end == text || *end != '\0' || parsed == 0 || parsed > 0x7FFFFFFF) return false;
  value = static_cast<std::uint32_t>(parsed);
  return true;
}

// Widths 1 to 9 and 17 (every fill count and a byte-spanning row), heights 1 to
// 3, both row orders, every header the layout allows.
int WriteCorpus(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  int written = 0;
  for (Layout layout : kAllLayouts) {
    for (Header header : kAllHeaders) {
      if (!HeaderFits(layout, header)) continue;
      for (bool topDown : {false, true}) {
        const Format format{layout, header, topDown};
        for (std::uint32_t width : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 17u}) {
          for (std::uint32_t height = 1; height <= 3; ++height) {
            if (!FormatProblem(format, width, height).empty()) continue;
            const std::string name = std::string(NameOf(layout)) + "_" + std::string(NameOf(header)) + "_" +
                                     std::to_string(width) + "x" + std::to_string(height) +
                                     (topDown ? "_topdown" : "_bottomup") + ".bmp";
            if (!WriteBitmapFile(TestPicture(width, height), format, (folder / name).string())) {
              std::fprintf(stderr, "bmpgen: cannot write %s\n", (folder / name).c_str());
              return 1;
            }
            ++written;
          }
        }
      }
    }
  }
  std::printf("%d files in %s\n", written, folder.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Format format;
  std::uint32_t width = 0, height = 0;
  std::string out, corpus, sample;
  bool layoutGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (arg == "--top-down") {
      format.topDown = true;
      continue;
    }
    if (value == nullptr) return Usage();
    ++i;
    if (arg == "--layout") {
      const auto layout = LayoutNamed(value);
      if (!layout) return Usage();
      format.layout = *layout;
      layoutGiven = true;
    } else if (arg == "--header") {
      const auto header = HeaderNamed(value);
      if (!header) return Usage();
      format.header = *header;
    } else if (arg == "--width") {
      if (!ParseSize(value, width)) return Usage();
    } else if (arg == "--height") {
      if (!ParseSize(value, height)) return Usage();
    } else if (arg == "--out") {
      out = value;
    } else if (arg == "--corpus") {
      corpus = value;
    } else if (arg == "--sample") {
      sample = value;
    } else {
      return Usage();
    }
  }

  if (!corpus.empty()) return WriteCorpus(corpus);
  if (!sample.empty()) {
    if (WriteBitmapFile(SamplePicture(640, 400), Format{Layout::Rgb24, Header::Info40, false}, sample))
      return 0;
    std::fprintf(stderr, "bmpgen: cannot write %s\n", sample.c_str());
    return 1;
  }
  if (!layoutGiven || out.empty() || width == 0 || height == 0) return Usage();
  const std::string problem = FormatProblem(format, width, height);
  if (!problem.empty()) {
    std::fprintf(stderr, "bmpgen: %s\n", problem.c_str());
    return 2;
  }
  if (!WriteBitmapFile(TestPicture(width, height), format, out)) {
    std::fprintf(stderr, "bmpgen: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
