// Files that are pipes: a load takes what a writer delivers in time, and
// fails rather than holds the viewer for long when it does not.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "loaded_image.h"
#include "platform/input_file.h"

namespace {

// What the writer does: write these bytes, then pause this long.
struct Step {
  std::size_t bytes;
  int pauseMs;
};

// A writer in another process that opens the pipe after openDelayMs (never
// for a negative delay) and follows the steps through the file's bytes.
pid_t StartWriter(const std::string& path, const ByteVector& bytes, int openDelayMs,
                  const std::vector<Step>& steps) {
  const pid_t writer = fork();
  if (writer != 0) return writer;
  if (openDelayMs < 0) pause();
  std::this_thread::sleep_for(std::chrono::milliseconds(openDelayMs));
  const int fd = open(path.c_str(), O_WRONLY);
  std::size_t done = 0;
  for (const Step& step : steps) {
    const std::size_t end = std::min(bytes.size(), done + step.bytes);
    while (fd >= 0 && done < end) {
      const ssize_t n = write(fd, bytes.data() + done, end - done);
      if (n <= 0) _exit(1);
      done += static_cast<std::size_t>(n);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(step.pauseMs));
  }
  _exit(0);
}

using Pipes = LoaderTest;

// A pipe's file delivers what its writer writes in time and gives up at the
// limit; here a short one, so that the cases that run into it take a moment.
TEST_F(Pipes, AFileTakesWhatArrivesInTimeAndGivesUpAfter) {
  constexpr int kLimitMs = 1000;
  const ByteVector whole = TwoByTwo24().Bytes();  // 70 bytes
  const int pause = kLimitMs / 10;
  const int silence = kLimitMs * 2;
  std::vector<Step> trickle(whole.size(), Step{1, pause});
  struct Case {
    const char* name;
    int openDelayMs;
    std::vector<Step> steps;
    bool whole;  // all 70 bytes arrive
  };
  const Case cases[] = {
      {"written at once", 0, {{70, 0}}, true},
      {"opened late, fed slowly", pause, {{5, pause}, {20, pause}, {45, 0}}, true},
      {"never opened", -1, {}, false},
      {"opened, nothing written", 0, {{0, silence}}, false},
      {"silent within the header", 0, {{10, silence}, {60, 0}}, false},
      {"silent within the body", 0, {{40, silence}, {30, 0}}, false},
      {"a byte now and then, never silent for long", 0, trickle, false},
  };
  const std::string path = WriteTempFile({}, "fifo.bmp");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove(path.c_str());
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    const pid_t writer = StartWriter(path, whole, c.openDelayMs, c.steps);
    ASSERT_GT(writer, 0);
    InputFile file(kLimitMs);
    ASSERT_TRUE(file.Open(path.c_str()));
    EXPECT_FALSE(file.Size());
    ByteVector read(whole.size() + 1);
    const std::size_t header = file.Read(read.data(), 14);
    const std::size_t count = header + file.Read(read.data() + header, read.size() - header);
    if (c.whole) {
      EXPECT_EQ(count, whole.size());
      EXPECT_TRUE(std::equal(whole.begin(), whole.end(), read.begin()));
    } else {
      EXPECT_LT(count, whole.size());
    }
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
  }
  std::remove(path.c_str());
}

// The loader reads a pipe as it comes: the picture a writer delivers at once.
TEST_F(Pipes, APipeWrittenAtOnceLoads) {
  const std::string path = WriteTempFile({}, "fifo.bmp");
  std::remove(path.c_str());
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  const pid_t writer = StartWriter(path, TwoByTwo24().Bytes(), 0, {{70, 0}});
  ASSERT_GT(writer, 0);
  EXPECT_EQ(LoadBitmapFile(path.c_str()), 0);
  EXPECT_EQ(SurfacePixels(), (Raster{{0xFF0000, 0xFFFFFF}, {0x0000FF, 0x00FF00}}));
  kill(writer, SIGKILL);
  waitpid(writer, nullptr, 0);
  std::remove(path.c_str());
}

}  // namespace
