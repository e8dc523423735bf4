// The memory module: blocks on either side of the line between heap and
// mappings, reused memory that must look fresh, blocks that grow in place, and
// files mapped instead of read.
#include "platform/memory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "bmp_builder.h"
#include "platform/input_file.h"
#include "process_memory.h"

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
    ReleaseKeptBlocks();
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
  ReleaseKeptBlocks();
}

// What a freed block leaves behind is gone once the step that freed it ends.
TEST(Memory, KeptBlocksGoBackWhenReleased) {
  const std::size_t size = 128 * kLine;
  void* block = AllocateBlock(size);
  ASSERT_NE(block, nullptr);
  const std::uint64_t before = ResidentBytes();
  std::memset(block, 1, size);
  EXPECT_GE(ResidentBytes(), before + size / 2);
  FreeBlock(block, size);
  ReleaseKeptBlocks();
  EXPECT_LE(ResidentBytes(), before + 8 * kMiB);
}

// A file mapped for its bytes and then cut short by another writer: what lay
// past its new end reads as zeros instead of raising a bus error, and the
// block says so.
TEST(Memory, MappedFilesCutShortReadAsZeros) {
  const std::size_t size = 5 * 4096 + 100;
  std::vector<std::uint8_t> bytes(size, 0x77);
  const std::string path = WriteTempFile(bytes, "mapped.bin");
  InputFile file;
  ASSERT_TRUE(file.Open(path.c_str()));
  std::uint8_t* block = MapFileBlock(file, 14, size - 14);
  ASSERT_NE(block, nullptr);
  EXPECT_TRUE(AllBytes(block, 0, size - 14, 0x77));
  EXPECT_FALSE(FileBlockCutShort(block));
  ASSERT_EQ(truncate(path.c_str(), 4096 + 14), 0);
  EXPECT_TRUE(AllBytes(block, 0, 4096, 0x77));
  EXPECT_TRUE(AllBytes(block, 4096 + 14, size - 14, 0));
  EXPECT_TRUE(FileBlockCutShort(block));
  FreeBlock(block, size - 14);
}

}  // namespace
