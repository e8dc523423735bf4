// Large blocks on Linux. Blocks of 2 MiB or more are mappings of their own, of
// ordinary pages, given back to the system whole when freed; smaller ones come
// from the heap. Huge pages would make a first touch cost one fault per 2 MiB
// instead of one per page, but on virtual machines that hand free memory back
// to the host they are the very blocks the host has just taken away: touching
// one again then costs ten times what touching ordinary pages does, and a
// viewer started after other programs ran would pay that for every large image.
#include "../memory.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "../input_file.h"
#include "file_mapping.h"
#include "page_size.h"

namespace {

constexpr std::size_t kLargeBlock = std::size_t{2} << 20;

bool Mapped(std::size_t bytes) { return bytes >= kLargeBlock; }

// Mappings span whole pages.
std::size_t MappedSize(std::size_t bytes) { return (bytes + PageSize() - 1) / PageSize() * PageSize(); }

// The most bytes of picture one byte of a file draws without compression:
// 8 pixels of 4 bytes at 1 bit a pixel.
constexpr std::size_t kDrawnPerFileByte = 32;

// Gives the last `bytes` of a fresh mapping of `size` bytes their pages in one
// call. Touched one at a time, each page costs a fault, and on virtual
// machines a fault on memory the host has taken back costs up to 13 µs; the
// kernel fills a range for a fraction of that. The end comes first: pictures
// stored bottom-up, the most, are drawn from there.
void Populate(void* block, std::size_t size, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  if (bytes > 0) madvise(static_cast<char*>(block) + (size - bytes), bytes, MADV_POPULATE_WRITE);
#else
  static_cast<void>(block), static_cast<void>(size), static_cast<void>(bytes);
#endif
}

void* Allocate(std::size_t bytes, bool zeroed) {
  if (bytes > SIZE_MAX - kLargeBlock) return nullptr;
  if (!Mapped(bytes))
    return zeroed ? std::calloc(1, bytes == 0 ? 1 : bytes) : std::malloc(bytes == 0 ? 1 : bytes);
  const std::size_t size = MappedSize(bytes);
  // Fresh anonymous pages, which the kernel hands out zero-filled.
  void* block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) return nullptr;
  // A block the caller fills gets all its pages; a zero-filled one, into which
  // a picture is drawn, as many as the files mapped now can draw, so that a
  // small file declaring a huge picture costs nothing for the pixels it never
  // reaches.
  const std::size_t drawable = MappedFileBytes() / PageSize() * PageSize() * kDrawnPerFileByte;
  Populate(block, size, zeroed ? std::min(size, drawable) : size);
  return block;
}

}  // namespace

void* AllocateBlock(std::size_t bytes) { return Allocate(bytes, false); }

void* AllocateZeroedBlock(std::size_t bytes) { return Allocate(bytes, true); }

void* ResizeBlock(void* block, std::size_t oldBytes, std::size_t newBytes) {
  if (newBytes > SIZE_MAX - kLargeBlock) return nullptr;
  if (Mapped(oldBytes) && Mapped(newBytes)) {
    // The pages move with the mapping: nothing is copied, and a block that
    // grows as data arrives never holds the data twice.
    void* moved = mremap(block, MappedSize(oldBytes), MappedSize(newBytes), MREMAP_MAYMOVE);
    return moved == MAP_FAILED ? nullptr : moved;
  }
  if (!Mapped(oldBytes) && !Mapped(newBytes)) {
    void* resized = std::realloc(block, newBytes == 0 ? 1 : newBytes);
    if (resized != nullptr && newBytes > oldBytes)
      std::memset(static_cast<char*>(resized) + oldBytes, 0, newBytes - oldBytes);
    return resized;
  }
  // Across the line between heap and mappings; the smaller side is below it,
  // so the copy is short.
  void* resized = AllocateZeroedBlock(newBytes);
  if (resized == nullptr) return nullptr;
  std::memcpy(resized, block, std::min(oldBytes, newBytes));
  FreeBlock(block, oldBytes);
  return resized;
}

void FreeBlock(void* block, std::size_t bytes) {
  if (block == nullptr || UnmapFileBytes(block)) return;
  if (Mapped(bytes)) {
    munmap(block, MappedSize(bytes));
  } else {
    std::free(block);
  }
}

std::uint8_t* MapFileBlock(const InputFile& file, std::uint64_t offset, std::size_t bytes) {
  if (!file.Size()) return nullptr;
  return MapFileBytes(static_cast<int>(file.handle()), offset, bytes);
}

bool FileBlockChanged(const void* block) { return FileBytesChanged(block); }

void ReleasePagesBefore(const void* position) { ReleaseFilePagesBefore(position); }

void ReleaseBlockPages(const void* block) {
  if (block != nullptr) ReleaseFilePages(block);
}
