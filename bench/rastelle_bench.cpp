// rastelle_bench: times loading large bitmap files with Rastelle's loader and
// with stb_image, in the same run, on files bmpgen's encoder writes.
//
//   rastelle_bench [--only NAME[,NAME...]] [--runs N] [--dir DIR] [--list]
//
// A Rastelle run is one LoadBitmapFile: the file read into its body and every
// pixel decoded into the surface. Between runs the surface is released and the
// body freed, as the viewer does before the next drop. A stb_image run is one
// stbi_load of the same path to 32-bit pixels; its result is freed between
// runs. Freeing is not timed on either side. Each run's pixels are checked
// against the picture the encoder meant, on a few rows.
#include <stb_image.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "bitmap_writer.h"
#include "loader/bitmap_loader.h"
#include "pixel_check.h"
#include "platform/memory.h"

namespace {

using bmpgen::Layout;
using Clock = std::chrono::steady_clock;

struct Case {
  std::string name;
  Layout layout;
  std::uint32_t width, height;
};

std::vector<Case> AllCases() {
  const struct {
    Layout layout;
    std::uint32_t width, height;
  } table[] = {
      {Layout::Rgb24, 8192, 8192},       {Layout::Rgb24, 8192, 4096},       {Layout::Rgb32, 8192, 8192},
      {Layout::Rgb32, 8192, 4096},       {Layout::Indexed8, 8192, 8192},    {Layout::Indexed4, 8192, 8192},
      {Layout::Mono1, 16384, 16384},     {Layout::Rle8, 8192, 8192},        {Layout::Rle4, 8192, 8192},
      {Layout::Bitfields16, 8192, 4096}, {Layout::Bitfields32, 8192, 4096},
  };
  std::vector<Case> cases;
  for (const auto& row : table) {
    cases.push_back({CaseName(row.layout, row.width, row.height), row.layout, row.width, row.height});
  }
  return cases;
}

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Processor time of the process, user and kernel, in milliseconds. On a machine
// shared with other work it varies far less than the wall clock.
double CpuMilliseconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Compares the checked rows of an image with the picture; pixelAt gives the
// decoded colour. Empty when they agree.
template <typename PixelAt>
std::string CheckPixels(const Case& c, PixelAt pixelAt) {
  return bench::CheckPixels(c.layout, c.width, c.height, pixelAt);
}

struct Result {
  std::vector<double> ms;     // wall-clock time of each timed run
  std::vector<double> cpuMs;  // processor time (user and kernel) of each
  std::string problem;        // unsupported or wrong pixels
};

void ReleaseRastelleImage() {
  DeleteDC(CurrentImage.surfaceDc);
  DeleteObject(CurrentImage.surfaceBitmap);
  CurrentImage.surfaceDc = nullptr;
  CurrentImage.surfaceBitmap = nullptr;
  FreeBlock(CurrentImage.fileBody, CurrentImage.fileBodyRead);
  CurrentImage.fileBody = nullptr;
  CurrentImage.fileBodyRead = 0;
}

// One timed load with Rastelle; the first run also checks pixels and huge pages.
void RunRastelle(const Case& c, const std::string& path, bool first, Result& result, long& hugeKib) {
  const double cpuStart = CpuMilliseconds();
  const auto start = Clock::now();
  const int rc = LoadBitmapFile(path.c_str());
  const auto end = Clock::now();
  const double cpu = CpuMilliseconds() - cpuStart;
  if (rc != 0) {
    result.problem = "LoadBitmapFile failed";
    return;
  }
  result.ms.push_back(Milliseconds(end - start));
  result.cpuMs.push_back(cpu);
  if (first) {
    hugeKib = AnonHugePagesKib();
    HDC dc = CurrentImage.surfaceDc;
    result.problem = CheckPixels(c, [dc](std::uint32_t x, std::uint32_t y) {
      return GetPixel(dc, static_cast<int>(x), static_cast<int>(y));
    });
  }
  ReleaseRastelleImage();
}

void RunStb(const Case& c, const std::string& path, bool first, Result& result) {
  int w = 0, h = 0, n = 0;
  const double cpuStart = CpuMilliseconds();
  const auto start = Clock::now();
  stbi_uc* pixels = stbi_load(path.c_str(), &w, &h, &n, 4);
  const auto end = Clock::now();
  const double cpu = CpuMilliseconds() - cpuStart;
  if (pixels == nullptr) {
    result.problem = std::string("not supported (") + stbi_failure_reason() + ")";
    return;
  }
  result.ms.push_back(Milliseconds(end - start));
  result.cpuMs.push_back(cpu);
  if (first) {
    if (static_cast<std::uint32_t>(w) != c.width || static_cast<std::uint32_t>(h) != c.height) {
      result.problem = "wrong size";
    } else {
      result.problem = CheckPixels(c, [pixels, w](std::uint32_t x, std::uint32_t y) {
        const stbi_uc* p = pixels + (std::size_t{y} * static_cast<std::size_t>(w) + x) * 4;
        return bmpgen::MakeColour(p[0], p[1], p[2]);
      });
    }
  }
  stbi_image_free(pixels);
}

int Usage() {
  std::fprintf(stderr,
               "usage: rastelle_bench [--only NAME[,NAME...]] [--runs N] [--dir DIR] [--list]\n"
               "  --only  run the images whose names contain one of the given parts (e.g. rgb24,rle)\n"
               "  --runs  timed runs per image and decoder (default 5); the median is shown\n"
               "  --dir   folder for the generated files (default: a new folder in the temp folder)\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string only, dir;
  int runs = 5;
  bool list = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--list") {
      list = true;
    } else if (i + 1 < argc && arg == "--only") {
      only = argv[++i];
    } else if (i + 1 < argc && arg == "--runs") {
      runs = std::atoi(argv[++i]);
      if (runs < 1) return Usage();
    } else if (i + 1 < argc && arg == "--dir") {
      dir = argv[++i];
    } else {
      return Usage();
    }
  }
  std::vector<Case> cases;
  for (const Case& c : AllCases()) {
    if (Selected(c.name, SplitCommas(only))) cases.push_back(c);
  }
  if (list || cases.empty()) {
    for (const Case& c : AllCases()) std::printf("%s\n", c.name.c_str());
    return cases.empty() ? 2 : 0;
  }

  std::filesystem::path folder = dir;
  bool ownFolder = false;
  if (folder.empty()) {
    folder = std::filesystem::temp_directory_path() / ("rastelle_bench." + std::to_string(getpid()));
    ownFolder = true;
  }
  std::filesystem::create_directories(folder);

  std::printf("%d runs per image and decoder, medians shown; files in %s\n", runs, folder.c_str());
  std::printf(
      "wall: elapsed ms; cpu: processor ms (user and kernel); first: the untimed first load, ms;\n"
      "THP: MiB of transparent huge pages in use while Rastelle's image is loaded\n\n");
  std::printf("%-22s|%8s %8s %7s %6s %5s |%8s %8s %7s %6s |%6s %6s\n", "", "Rastelle", "", "", "", "",
              "stb_image", "", "", "", "speed-up", "");
  std::printf("%-22s|%8s %8s %7s %6s %5s |%8s %8s %7s %6s |%6s %6s\n", "image", "wall", "cpu", "MP/s",
              "first", "THP", "wall", "cpu", "MP/s", "first", "wall", "cpu");
  bool allOk = true;
  for (const Case& c : cases) {
    const std::string path = (folder / (c.name + ".bmp")).string();
    if (!bmpgen::WriteBitmapFile(bmpgen::TestPicture(c.width, c.height),
                                 {c.layout, bmpgen::Header::Info40, false}, path)) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
    // One untimed run of each first, then the timed runs taken in turns.
    Result rastelle, stb, warmUp;
    long hugeKib = 0;
    RunRastelle(c, path, false, warmUp, hugeKib);
    Result stbWarmUp;
    RunStb(c, path, false, stbWarmUp);
    const bool stbDecodes = stbWarmUp.problem.empty();
    if (!stbDecodes) stb.problem = stbWarmUp.problem;
    for (int run = 0; run < runs; ++run) {
      RunRastelle(c, path, run == 0, rastelle, hugeKib);
      if (stbDecodes) RunStb(c, path, run == 0, stb);
    }
    std::filesystem::remove(path);

    const double megapixels = static_cast<double>(c.width) * c.height / 1e6;
    const double ours = rastelle.ms.empty() ? 0 : Median(rastelle.ms);
    const double oursCpu = rastelle.cpuMs.empty() ? 0 : Median(rastelle.cpuMs);
    const double oursFirst = warmUp.ms.empty() ? 0 : warmUp.ms[0];
    std::printf("%-22s|%8.1f %8.1f %7.1f %6.0f %5ld |", c.name.c_str(), ours, oursCpu,
                ours > 0 ? megapixels / ours * 1e3 : 0.0, oursFirst, hugeKib / 1024);
    if (stb.ms.empty()) {
      std::printf(" stb_image: %s\n", stb.problem.c_str());
    } else {
      const double theirs = Median(stb.ms);
      const double theirsCpu = Median(stb.cpuMs);
      std::printf("%8.1f %8.1f %7.1f %6.0f |%5.2fx %5.2fx\n", theirs, theirsCpu, megapixels / theirs * 1e3,
                  stbWarmUp.ms[0], theirs / ours, theirsCpu / oursCpu);
    }
    if (!rastelle.problem.empty()) {
      std::printf("  Rastelle: %s\n", rastelle.problem.c_str());
      allOk = false;
    }
    if (!stb.ms.empty() && !stb.problem.empty()) std::printf("  stb_image: %s\n", stb.problem.c_str());
    std::fflush(stdout);
  }
  if (ownFolder) std::filesystem::remove_all(folder);
  return allOk ? 0 : 1;
}
