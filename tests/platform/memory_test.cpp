// The memory module: blocks on either side of the line between heap and
// mappings, reused memory that must look fresh, blocks that grow in place,
// freed blocks that go back at once, and files mapped instead of read, whose
// pages leave behind their reader.
#include "platform/memory.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "bmp_builder.h"
#include "platform/input_file.h"

namespace {

constexpr std::size_t kLine = std::size_t{2} << 20;  // where blocks become mappings

bool AllBytes(const void* block, std::size_t from, std::size_t to, std::uint8_t value) {
  const auto* bytes = static_cast<const std::uint8_t*>(block);
  return std::all_of(bytes + from, bytes + to, [value](std::uint8_t b) { return b == value; });
}

// A zeroed block after a block of the same size was filled and freed: the
// memory given back may come again, and must not show what it held.
TEST(Memory, ZeroedBlocksAreZeroWhateverCameBefore) {
  const std::size_t sizes[] = {0, 100, kLine - 1, kLine, kLine + 1, 3 * kLine + 4096 + 5, 64 * kLine};
  for (std::size_t size : sizes) {
    SCOPED_TRACE(size);
    void* dirty = AllocateBlock(size);
    ASSERT_NE(dirty, nullptr);
    std::memset(dirty, 0xA5, size);
    FreeBlock(dirty, size);
    void* block = AllocateZeroedBlock(size);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(AllBytes(block, 0, size, 0));
    FreeBlock(block, size);
  }
}

TEST(Memory, ResizingKeepsTheContentsAndZeroesWhatIsNew) {
  struct Case {
    std::size_t from, to;
  };
  const Case cases[] = {{100, 200},         {200, 100},         {100, 3 * kLine}, {3 * kLine, 100},
                        {kLine, 5 * kLine}, {5 * kLine, kLine}, {0, kLine},       {kLine, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << " to " << c.to);
    void* block = AllocateBlock(c.from);
    ASSERT_NE(block, nullptr);
    std::memset(block, 0x5A, c.from);
    block = ResizeBlock(block, c.from, c.to);
    ASSERT_NE(block, nullptr);
    const std::size_t kept = std::min(c.from, c.to);
    EXPECT_TRUE(AllBytes(block, 0, kept, 0x5A));
    EXPECT_TRUE(AllBytes(block, kept, c.to, 0));
    FreeBlock(block, c.to);
  }
}

// A freed large block goes back to the system at once: its pages are no
// longer mapped.
TEST(Memory, FreedBlocksGoBackAtOnce) {
  const std::size_t size = 16 * kLine;
  void* block = AllocateBlock(size);
  ASSERT_NE(block, nullptr);
  std::memset(block, 1, size);
  FreeBlock(block, size);
  std::vector<unsigned char> resident(size / 4096);
  EXPECT_EQ(mincore(block, size, resident.data()), -1);
  EXPECT_EQ(errno, ENOMEM);
}

// A file mapped for its bytes and then changed by another writer: cut short,
// what lay past its new end reads as zeros instead of raising a bus error;
// cut short or written in place, the block says so.
TEST(Memory, MappedFilesChangedWhileMappedAreTold) {
  const std::size_t size = 5 * 4096 + 100;
  const std::vector<std::uint8_t> bytes(size, 0x77);
  struct Case {
    const char* name;
    bool cut;  // cut short, or written in place
  };
  for (const Case& c : {Case{"cut short", true}, Case{"written in place", false}}) {
    SCOPED_TRACE(c.name);
    const std::string path = WriteTempFile(bytes, "mapped.bin");
    InputFile file;
    ASSERT_TRUE(file.Open(path.c_str()));
    std::uint8_t* block = MapFileBlock(file, 14, size - 14);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(AllBytes(block, 0, size - 14, 0x77));
    EXPECT_FALSE(FileBlockChanged(block));
    if (c.cut) {
      ASSERT_EQ(truncate(path.c_str(), 4096 + 14), 0);
      EXPECT_TRUE(AllBytes(block, 0, 4096, 0x77));
      EXPECT_TRUE(AllBytes(block, 4096 + 14, size - 14, 0));
    } else {
      const int fd = open(path.c_str(), O_WRONLY);
      ASSERT_GE(fd, 0);
      ASSERT_EQ(pwrite(fd, "\x11", 1, 100), 1);
      close(fd);
    }
    EXPECT_TRUE(FileBlockChanged(block));
    FreeBlock(block, size - 14);
  }
}

// How many pages of [from, to) in block are in this process's page table, and
// how many are not; nothing where the page table cannot be read.
struct PageCount {
  std::size_t present = 0, absent = 0;
};
std::optional<PageCount> CountPages(const std::uint8_t* block, std::size_t from, std::size_t to) {
  const int pageMap = open("/proc/self/pagemap", O_RDONLY);
  if (pageMap < 0) return std::nullopt;
  const auto pageSize = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  PageCount count;
  for (std::size_t offset = from; offset < to; offset += pageSize) {
    std::uint64_t entry = 0;
    const auto page = reinterpret_cast<std::uintptr_t>(block + offset) / pageSize;
    if (pread(pageMap, &entry, sizeof entry, static_cast<off_t>(page * sizeof entry)) != sizeof entry) {
      close(pageMap);
      return std::nullopt;
    }
    ++((entry >> 63) != 0 ? count.present : count.absent);
  }
  close(pageMap);
  return count;
}

// A large file read forward from its mapping, as a renderer reads it, saying
// how far it has got: the pages in whole 2 MiB blocks of the file before that
// are out of the process's memory, those it read since the last such block are
// still there, and the block still reads the file. Released whole, none is
// left.
TEST(Memory, PagesOfAMappedFileLeaveBehindItsReader) {
  constexpr std::size_t kMib = std::size_t{1} << 20;
  constexpr std::size_t kOffset = 14;  // as a bitmap's body is mapped
  std::vector<std::uint8_t> bytes(24 * kMib);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>((i >> 12) ^ i);
  const std::string path = WriteTempFile(bytes, "large.bin");
  const std::size_t size = bytes.size() - kOffset;
  if (!CountPages(bytes.data(), 0, 1)) GTEST_SKIP() << "this process's page table cannot be read";
  const auto pageSize = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  struct Case {
    const char* name;
    std::vector<std::size_t> stops;  // bytes read before each call
  };
  const Case cases[] = {
      {"less than a block", {kMib}},
      {"one call", {9 * kMib + 5}},
      {"a call for every page", {}},
      {"read to the end", {size}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InputFile file;
    ASSERT_TRUE(file.Open(path.c_str()));
    std::uint8_t* block = MapFileBlock(file, kOffset, size);
    ASSERT_NE(block, nullptr);
    std::vector<std::size_t> stops = c.stops;
    if (stops.empty()) {
      for (std::size_t at = 0; at < 17 * kMib; at += pageSize) stops.push_back(at);
    }
    std::size_t read = 0;
    unsigned sum = 0;
    for (std::size_t stop : stops) {
      for (; read < stop; read += pageSize) sum += *static_cast<volatile std::uint8_t*>(block + read);
      read = stop;
      ReleasePagesBefore(block + read);
    }
    // The file's offset of the last block edge the reader has passed.
    const std::size_t edge = (kOffset + read) / (2 * kMib) * (2 * kMib);
    const std::optional<PageCount> behind = CountPages(block, 0, edge > kOffset ? edge - kOffset : 0);
    const std::optional<PageCount> near =
        CountPages(block, edge > kOffset ? edge - kOffset : 0, read > kOffset ? read - kOffset : 0);
    ASSERT_TRUE(behind && near);
    EXPECT_EQ(behind->present, 0u) << "pages behind the reader are still in memory";
    EXPECT_EQ(near->absent, 0u) << "pages the reader has read since the last block are gone";
    EXPECT_EQ(std::memcmp(block, bytes.data() + kOffset, size), 0) << sum;
    ReleaseBlockPages(block);
    const std::optional<PageCount> all = CountPages(block, 0, size);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->present, 0u) << "pages of a block released whole";
    FreeBlock(block, size);
  }
}

// What SIGBUS does now: the handler, or the default action.
void* BusErrorAction() {
  struct sigaction action;
  sigaction(SIGBUS, nullptr, &action);
  return (action.sa_flags & SA_SIGINFO) != 0 ? reinterpret_cast<void*>(action.sa_sigaction)
                                             : reinterpret_cast<void*>(action.sa_handler);
}

// The guard against files cut short stands only while a file is mapped, and
// a bus error it does not expect goes to the action it stood in front of:
// here the default, which ends the process.
TEST(Memory, TheFileGuardStandsOnlyWhileAFileIsMappedAndPassesOtherErrorsOn) {
  const std::string path = WriteTempFile(std::vector<std::uint8_t>(3 * 4096, 1), "guarded.bin");
  const auto map = [&path] {
    InputFile file;
    return file.Open(path.c_str()) ? MapFileBlock(file, 0, 3 * 4096) : nullptr;
  };
  void* const before = BusErrorAction();
  std::uint8_t* block = map();
  ASSERT_NE(block, nullptr);
  EXPECT_NE(BusErrorAction(), before);
  FreeBlock(block, 3 * 4096);
  EXPECT_EQ(BusErrorAction(), before);

  const pid_t child = fork();
  if (child == 0) {
    signal(SIGBUS, SIG_DFL);
    if (map() != nullptr) raise(SIGBUS);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGBUS) << "a bus error was swallowed";
}

}  // namespace
