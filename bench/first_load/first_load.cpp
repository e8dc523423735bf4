// rastelle_first_load: the first load as a user meets it. Each load runs in a
// process of its own (one file, one load, then exit), right after another
// process has touched and freed a large amount of memory, as the viewer starts
// after other programs have used the machine. Rastelle's loader, stb_image,
// SDL2 and gdk-pixbuf take turns on the same files, round after round, and
// the bound (the file read whole into fresh memory plus one write over a fresh
// surface) is measured the same way.
//
//   rastelle_first_load [--rounds N] [--churn-mib N] [--churn-huge] [--gap-ms N]
//                       [--only NAME[,NAME...]] [--loaders NAME[,NAME...]]
//                       [--extra NAME=PROGRAM] [--dir DIR] [--list]
//
// The loaders are separate programs beside this one (first_load_<name>), so
// each links only its own library and a process's whole time means something.
#include <spawn.h>
#include <sys/mman.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "bitmap_writer.h"

extern char** environ;

namespace {

using bmpgen::Layout;
using Clock = std::chrono::steady_clock;

struct Case {
  std::string name;
  Layout layout;
  std::uint32_t width, height;
  std::string path;
};

// The files of the in-process benchmark whose first loads the viewer's users
// meet: its 8192 x 8192 images, its 16-bit 5-6-5 one at 8192 x 4096, and 1 bit
// at 16384 x 16384.
std::vector<Case> AllCases() {
  const struct {
    Layout layout;
    std::uint32_t width, height;
  } table[] = {
      {Layout::Rgb24, 8192, 8192},    {Layout::Rgb32, 8192, 8192}, {Layout::Bitfields16, 8192, 4096},
      {Layout::Indexed8, 8192, 8192}, {Layout::Rle8, 8192, 8192},  {Layout::Indexed4, 8192, 8192},
      {Layout::Mono1, 16384, 16384},
  };
  std::vector<Case> cases;
  for (const auto& row : table) {
    cases.push_back({CaseName(row.layout, row.width, row.height), row.layout, row.width, row.height, {}});
  }
  return cases;
}

struct Program {
  std::string name;  // as printed
  std::string path;
  bool peer;   // another library, as opposed to ours or the bound
  bool bound;  // the file read and a surface written, nothing decoded
};

// One process's figures.
struct Run {
  double loadMs = 0;           // the load call, measured inside the process
  double cpuMs = 0;            // processor time of the load, user and kernel
  double processMs = 0;        // the whole process, from spawn to exit
  long faults = 0;             // minor page faults during the load
  long hugeMib = 0;            // anonymous memory in huge pages after the load
  unsigned bytesPerPixel = 0;  // of the decoded result
  double peakMib = 0;          // the process's peak resident memory (VmHWM)
};

struct Outcome {
  std::vector<Run> runs;
  std::string problem;  // set when the loader cannot decode the layout or decodes it wrongly
  bool cannot = false;  // the loader reported that it does not decode the layout
};

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Another program's turn with the memory: a process that touches churnBytes of
// fresh memory, one store a page, then gives it all back and exits.
void ChurnMemory(std::size_t churnBytes, bool hugePages) {
  if (churnBytes == 0) return;
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    void* block = mmap(nullptr, churnBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) _exit(1);
    if (hugePages) madvise(block, churnBytes, MADV_HUGEPAGE);
    auto* bytes = static_cast<volatile unsigned char*>(block);
    for (std::size_t offset = 0; offset < churnBytes; offset += 4096) bytes[offset] = 1;
    munmap(block, churnBytes);
    _exit(0);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "the memory churn did not run: is there %zu MiB to spare?\n", churnBytes >> 20);
  }
}

// Runs program with args, its standard output in a pipe; false when it could
// not be started. output holds what it printed, status its wait status.
bool Spawn(const std::string& program, const std::vector<std::string>& args, std::string& output, int& status,
           double& elapsedMs) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const auto start = Clock::now();
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    return false;
  }
  output.clear();
  char buffer[512];
  for (;;) {
    const ssize_t got = read(fds[0], buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    output.append(buffer, static_cast<std::size_t>(got));
  }
  close(fds[0]);
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  elapsedMs = Milliseconds(Clock::now() - start);
  return true;
}

// One load of the case by the program, in a new process; adds its run to the
// outcome or records why there is none.
void LoadOnce(const Program& program, const Case& c, Outcome& outcome) {
  std::string output;
  int status = 0;
  double elapsed = 0;
  const std::vector<std::string> args = {c.path, std::string(bmpgen::NameOf(c.layout)),
                                         std::to_string(c.width), std::to_string(c.height)};
  if (!Spawn(program.path, args, output, status, elapsed)) {
    outcome.problem = "cannot start " + program.path;
    return;
  }
  if (!output.empty() && output.back() == '\n') output.pop_back();
  std::istringstream line(output);
  std::string word;
  line >> word;
  if (word == "ok") {
    Run run;
    line >> run.loadMs >> run.cpuMs >> run.faults >> run.hugeMib >> run.bytesPerPixel >> run.peakMib;
    run.processMs = elapsed;
    outcome.runs.push_back(run);
  } else if (word == "cannot") {
    outcome.cannot = true;
    outcome.problem = "cannot decode: " + output.substr(std::min(output.size(), std::size_t{7}));
  } else if (!output.empty()) {
    outcome.problem = output;
  } else {
    outcome.problem = WIFSIGNALED(status) ? "died of signal " + std::to_string(WTERMSIG(status))
                                          : "exited with " + std::to_string(WEXITSTATUS(status));
  }
}

std::string FirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

std::string CpuModel() {
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  }
  return "unknown";
}

void PrintEnvironment(int rounds, std::size_t churnMib, bool churnHuge, int gapMs) {
  utsname name{};
  uname(&name);
  std::printf("kernel:   %s %s %s\n", name.sysname, name.release, name.machine);
  std::printf("cpus:     %ld online (%s)\n", sysconf(_SC_NPROCESSORS_ONLN), CpuModel().c_str());
  std::printf("memory:   %s\n", FirstLine("/proc/meminfo").c_str());
  std::printf("THP:      enabled %s; defrag %s\n",
              FirstLine("/sys/kernel/mm/transparent_hugepage/enabled").c_str(),
              FirstLine("/sys/kernel/mm/transparent_hugepage/defrag").c_str());
  const std::string reporting = "/sys/module/page_reporting/parameters/page_reporting_order";
  if (std::filesystem::exists(reporting)) {
    std::printf("free page reporting to the host: from order %s\n", FirstLine(reporting).c_str());
  }
  std::printf(
      "runs:     %d rounds; before every timed process another one touches %zu MiB%s and frees it%s\n\n",
      rounds, churnMib, churnHuge ? " (huge pages)" : "",
      gapMs > 0 ? (", then " + std::to_string(gapMs) + " ms pass").c_str() : "");
}

// Reads a file once so that the timed loads find it in the page cache.
void ReadThrough(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> buffer(std::size_t{1} << 20);
  while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
  }
}

struct Figures {
  double median = 0, worst = 0, process = 0, cpu = 0, faults = 0, huge = 0, peak = 0, worstPeak = 0;
  unsigned bytesPerPixel = 0;
};

Figures FiguresOf(const std::vector<Run>& runs) {
  std::vector<double> load, process, cpu, faults, huge, peak;
  for (const Run& run : runs) {
    load.push_back(run.loadMs);
    process.push_back(run.processMs);
    cpu.push_back(run.cpuMs);
    faults.push_back(static_cast<double>(run.faults));
    huge.push_back(static_cast<double>(run.hugeMib));
    peak.push_back(run.peakMib);
  }
  return {Median(load),
          *std::max_element(load.begin(), load.end()),
          Median(process),
          Median(cpu),
          Median(faults),
          Median(huge),
          Median(peak),
          *std::max_element(peak.begin(), peak.end()),
          runs.front().bytesPerPixel};
}

// Prints one image's table and the targets of every loader that is not a
// peer; adds Rastelle's line to the summary.
void PrintCase(const Case& c, const std::vector<Program>& programs, const std::vector<Outcome>& outcomes,
               std::vector<std::string>& summary) {
  const double megapixels = static_cast<double>(c.width) * c.height / 1e6;
  std::error_code error;
  const auto fileBytes = std::filesystem::file_size(c.path, error);
  std::printf("%s: %.1f megapixels, file %.1f MiB\n", c.name.c_str(), megapixels,
              static_cast<double>(error ? 0 : fileBytes) / (1 << 20));

  int nameWidth = 12;
  for (const Program& program : programs)
    nameWidth = std::max(nameWidth, static_cast<int>(program.name.size()));
  std::vector<Figures> figures(programs.size());
  double fastestPeer = 0;
  std::string fastestName;
  for (std::size_t i = 0; i < programs.size(); ++i) {
    if (outcomes[i].runs.empty()) continue;
    figures[i] = FiguresOf(outcomes[i].runs);
    if (programs[i].peer && outcomes[i].problem.empty() &&
        (fastestPeer == 0 || figures[i].median < fastestPeer)) {
      fastestPeer = figures[i].median;
      fastestName = programs[i].name;
    }
  }

  std::printf("  %-*s %9s %9s %7s %7s %7s %7s %8s %8s %7s %5s %4s %8s %6s\n", nameWidth, "", "median ms",
              "worst ms", "MP/s", "worst", "x peer", "worst", "process", "cpu ms", "faults", "THP", "B/px",
              "peak MiB", "worst");
  for (std::size_t i = 0; i < programs.size(); ++i) {
    const Program& program = programs[i];
    const Outcome& outcome = outcomes[i];
    if (outcome.runs.empty()) {
      std::printf("  %-*s %s\n", nameWidth, program.name.c_str(), outcome.problem.c_str());
      continue;
    }
    const Figures& f = figures[i];
    const double peerRatio = fastestPeer > 0 ? fastestPeer / f.median : 0;
    const double worstRatio = fastestPeer > 0 ? fastestPeer / f.worst : 0;
    std::printf("  %-*s %9.1f %9.1f %7.1f %7.1f %6.2fx %6.2fx %8.1f %8.1f %7.0f %5.0f %4u %8.1f %6.1f\n",
                nameWidth, program.name.c_str(), f.median, f.worst, megapixels / f.median * 1e3,
                megapixels / f.worst * 1e3, peerRatio, worstRatio, f.process, f.cpu, f.faults, f.huge,
                f.bytesPerPixel, f.peak, f.worstPeak);
    if (!outcome.problem.empty()) std::printf("  %-*s   but: %s\n", nameWidth, "", outcome.problem.c_str());
  }
  if (fastestPeer == 0) {
    std::printf("  no peer decoded this image\n\n");
    return;
  }
  std::printf("  fastest peer: %s, median %.1f ms\n", fastestName.c_str(), fastestPeer);
  for (std::size_t i = 0; i < programs.size(); ++i) {
    if (programs[i].peer || programs[i].bound || outcomes[i].runs.empty()) continue;
    const double medianRatio = fastestPeer / figures[i].median;
    const double worstRatio = fastestPeer / figures[i].worst;
    std::printf("  %s: median %.2fx the fastest peer's (target 2x: %s), worst run %.2fx (target 1x: %s)\n",
                programs[i].name.c_str(), medianRatio, medianRatio >= 2 ? "met" : "not met", worstRatio,
                worstRatio >= 1 ? "met" : "not met");
    if (programs[i].name == "Rastelle") {
      char line[160];
      std::snprintf(line, sizeof line, "%-22s %8.1f %8.1f  %-11s %8.1f %7.2fx %7.2fx", c.name.c_str(),
                    figures[i].median, figures[i].worst, fastestName.c_str(), fastestPeer, medianRatio,
                    worstRatio);
      summary.push_back(line);
    }
  }
  std::printf("\n");
  std::fflush(stdout);
}

int Usage() {
  std::fprintf(stderr,
               "usage: rastelle_first_load [--rounds N] [--churn-mib N] [--churn-huge] [--gap-ms N]\n"
               "                           [--only NAME[,NAME...]] [--loaders NAME[,NAME...]]\n"
               "                           [--extra NAME=PROGRAM] [--dir DIR] [--list]\n"
               "  --rounds      timed loads per loader and image (default 7), taken in turns\n"
               "  --churn-mib   memory another process touches and frees before each load (default 3072)\n"
               "  --churn-huge  that process asks for transparent huge pages\n"
               "  --gap-ms      pause between that process's exit and the load (default 0)\n"
               "  --only        the images whose names contain one of the parts (e.g. rgb24,rle8)\n"
               "  --loaders     the loaders whose names contain one of the parts (e.g. Rastelle,SDL2)\n"
               "  --extra       one more loader: a program that takes the arguments of first_load_*\n"
               "  --dir         folder for the files, kept there and reused by later runs\n"
               "                (default: a new folder in the temp folder, removed at the end)\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 7, gapMs = 0;
  std::size_t churnMib = 3072;
  bool churnHuge = false, list = false;
  std::vector<std::string> only, loaders;
  std::vector<Program> extras;
  std::string dir;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--list") {
      list = true;
    } else if (arg == "--churn-huge") {
      churnHuge = true;
    } else if (hasValue && arg == "--rounds") {
      rounds = std::atoi(argv[++i]);
      if (rounds < 1) return Usage();
    } else if (hasValue && arg == "--churn-mib") {
      churnMib = std::strtoul(argv[++i], nullptr, 10);
    } else if (hasValue && arg == "--gap-ms") {
      gapMs = std::atoi(argv[++i]);
    } else if (hasValue && arg == "--only") {
      only = SplitCommas(argv[++i]);
    } else if (hasValue && arg == "--loaders") {
      loaders = SplitCommas(argv[++i]);
    } else if (hasValue && arg == "--extra") {
      const std::string extra = argv[++i];
      const std::size_t equals = extra.find('=');
      if (equals == std::string::npos || equals == 0) return Usage();
      extras.push_back({extra.substr(0, equals), extra.substr(equals + 1), false, false});
    } else if (hasValue && arg == "--dir") {
      dir = argv[++i];
    } else {
      return Usage();
    }
  }

  std::vector<Case> cases;
  for (const Case& c : AllCases()) {
    if (Selected(c.name, only)) cases.push_back(c);
  }
  if (list || cases.empty()) {
    for (const Case& c : AllCases()) std::printf("%s\n", c.name.c_str());
    return cases.empty() ? 2 : 0;
  }

  const std::filesystem::path here = std::filesystem::read_symlink("/proc/self/exe").parent_path();
  const Program known[] = {
      {"Rastelle", (here / "first_load_rastelle").string(), false, false},
      {"stb_image", (here / "first_load_stb_image").string(), true, false},
      {"SDL2", (here / "first_load_sdl2").string(), true, false},
      {"gdk-pixbuf", (here / "first_load_gdk_pixbuf").string(), true, false},
      {"bound", (here / "first_load_bound").string(), false, true},
  };
  std::vector<Program> programs;
  for (const Program& program : known) {
    if (Selected(program.name, loaders)) programs.push_back(program);
  }
  programs.insert(programs.end(), extras.begin(), extras.end());

  std::filesystem::path folder = dir;
  const bool ownFolder = folder.empty();
  if (ownFolder) {
    folder = std::filesystem::temp_directory_path() / ("rastelle_first_load." + std::to_string(getpid()));
  }
  std::filesystem::create_directories(folder);

  PrintEnvironment(rounds, churnMib, churnHuge, gapMs);
  std::printf(
      "median ms, worst ms: the load call in a new process (file read and every pixel decoded);\n"
      "MP/s, worst: megapixels per second at the median and at the worst run; x peer, worst: the\n"
      "fastest peer's median time over this loader's median and over its worst run; process: median\n"
      "ms from spawn to exit; cpu ms, faults: processor time and minor page faults of the load;\n"
      "THP: MiB of anonymous huge pages after the load; B/px: bytes a pixel of the result takes\n"
      "(SDL2 keeps palette images indexed, gdk-pixbuf drops the fourth byte where it can);\n"
      "peak MiB, worst: the process's peak resident memory (VmHWM, file pages it mapped included),\n"
      "median and largest.\n"
      "bound: the file read whole into fresh memory, then one write over a fresh surface of\n"
      "width x height x 4 bytes (both on ordinary pages); it decodes nothing.\n\n");
  std::fflush(stdout);

  // The files, written once (or found from an earlier run in --dir) and read
  // once so that every load finds them in the page cache.
  for (Case& c : cases) {
    c.path = (folder / (c.name + ".bmp")).string();
    if (!std::filesystem::exists(c.path) &&
        !bmpgen::WriteBitmapFile(bmpgen::TestPicture(c.width, c.height),
                                 {c.layout, bmpgen::Header::Info40, false}, c.path)) {
      std::fprintf(stderr, "cannot write %s\n", c.path.c_str());
      return 1;
    }
    ReadThrough(c.path);
  }

  // An untimed load by every program first: it tells which layouts a loader
  // cannot decode, so that those are reported and not timed, and brings the
  // programs and their libraries into the page cache.
  std::vector<std::vector<Outcome>> outcomes(cases.size(), std::vector<Outcome>(programs.size()));
  std::vector<std::vector<bool>> timed(cases.size(), std::vector<bool>(programs.size()));
  for (std::size_t k = 0; k < cases.size(); ++k) {
    for (std::size_t i = 0; i < programs.size(); ++i) {
      Outcome probe;
      LoadOnce(programs[i], cases[k], probe);
      timed[k][i] = !probe.runs.empty();
      if (!timed[k][i]) outcomes[k][i].problem = probe.problem;
    }
  }

  const std::size_t churnBytes = churnMib << 20;
  for (int round = 0; round < rounds; ++round) {
    std::fprintf(stderr, "round %d of %d\n", round + 1, rounds);
    for (std::size_t k = 0; k < cases.size(); ++k) {
      // Each round another program goes first, so none always follows the same one.
      for (std::size_t j = 0; j < programs.size(); ++j) {
        const std::size_t i = (j + static_cast<std::size_t>(round)) % programs.size();
        if (!timed[k][i]) continue;
        ChurnMemory(churnBytes, churnHuge);
        if (gapMs > 0) usleep(static_cast<useconds_t>(gapMs) * 1000);
        LoadOnce(programs[i], cases[k], outcomes[k][i]);
      }
    }
  }

  std::vector<std::string> summary;
  for (std::size_t k = 0; k < cases.size(); ++k) PrintCase(cases[k], programs, outcomes[k], summary);
  if (!summary.empty()) {
    std::printf("%-22s %8s %8s  %-11s %8s %8s %8s\n", "summary", "Rastelle", "worst", "fastest", "median",
                "median", "worst");
    std::printf("%-22s %8s %8s  %-11s %8s %8s %8s\n", "", "median", "", "peer", "", "ratio", "ratio");
    for (const std::string& line : summary) std::printf("%s\n", line.c_str());
    std::printf("ratios: the fastest peer's median over Rastelle's median and over its worst run\n");
    std::printf("(targets: 2x and 1x)\n");
  }

  if (ownFolder) std::filesystem::remove_all(folder);
  bool allOk = true;
  for (std::size_t k = 0; k < cases.size(); ++k) {
    for (std::size_t i = 0; i < programs.size(); ++i) {
      if (!programs[i].peer && !outcomes[k][i].problem.empty()) allOk = false;
    }
  }
  return allOk ? 0 : 1;
}
