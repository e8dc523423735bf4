// Files that are pipes: a load takes what a writer delivers in time, and
// fails rather than holds the viewer for long when it does not.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

TEST_F(Pipes, ALoadTakesWhatArrivesInTimeAndGivesUpAfter) {
  const ByteVector whole = TwoByTwo24().Bytes();  // 70 bytes
  const int pause = kDeliveryLimitMs / 5;
  const int silence = kDeliveryLimitMs * 2;
  std::vector<Step> trickle(whole.size(), Step{1, pause});
  struct Case {
    const char* name;
    int openDelayMs;
    std::vector<Step> steps;
    int result;
  };
  const Case cases[] = {
      {"written at once", 0, {{70, 0}}, 0},
      {"opened late, fed slowly", pause, {{5, pause}, {20, pause}, {45, 0}}, 0},
      {"never opened", -1, {}, -1},
      {"opened, nothing written", 0, {{0, silence}}, -1},
      {"silent within the header", 0, {{10, silence}, {60, 0}}, -1},
      {"silent within the body", 0, {{40, silence}, {30, 0}}, -1},
      {"a byte now and then, never silent for long", 0, trickle, -1},
  };
  const std::string path = WriteTempFile({}, "fifo.bmp");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetCurrentImage();
    std::remove(path.c_str());
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    const pid_t writer = StartWriter(path, whole, c.openDelayMs, c.steps);
    ASSERT_GT(writer, 0);
    EXPECT_EQ(LoadBitmapFile(path.c_str()), c.result);
    if (c.result == 0) {
      EXPECT_EQ(SurfacePixels(), (Raster{{0xFF0000, 0xFFFFFF}, {0x0000FF, 0x00FF00}}));
    }
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
  }
  std::remove(path.c_str());
}

}  // namespace
