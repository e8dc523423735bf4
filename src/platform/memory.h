// Large blocks of memory: file bodies and the pixels of bitmaps and windows.
// How they are obtained (heap, pages, huge pages, reuse) is decided in this one
// module; everything else asks through these calls and hands back the size it
// asked for.
#pragma once

#include <cstddef>
#include <cstdint>

class InputFile;

// A block of bytes for the caller to fill, and one that comes zero-filled;
// null when the system refuses. Zero bytes give a block that can be freed and
// resized like any other.
void* AllocateBlock(std::size_t bytes);
void* AllocateZeroedBlock(std::size_t bytes);

// The block resized to newBytes, its first min(oldBytes, newBytes) bytes kept
// and any new ones zero. Null when the system refuses; the block is then
// unchanged and still the caller's.
void* ResizeBlock(void* block, std::size_t oldBytes, std::size_t newBytes);

// The bytes of an open regular file from offset on, mapped rather than read
// where the system can: nothing is copied or touched before it is used. Null
// where it cannot; the caller then reads them into a block. Given back with
// FreeBlock like any block. Should another program cut the file short while
// its bytes are mapped, what lay past its new end reads as zeros.
// FileBlockChanged tells whether the file was cut short, or has another size
// or modification time than when it was mapped: its bytes may then be part
// old, part new.
std::uint8_t* MapFileBlock(const InputFile& file, std::uint64_t offset, std::size_t bytes);
bool FileBlockChanged(const void* block);

// The block is not read again before it is freed: where it is a mapped file,
// its pages leave the process's memory (the system keeps its cache of the
// file, and a read brings them back); any other block stays as it is.
void ForgetBlockPages(const void* block);

// Gives a block back; null does nothing. The memory of a large block may be
// kept for the allocations that follow, until ReleaseKeptBlocks.
void FreeBlock(void* block, std::size_t bytes);

// Gives back at once whatever FreeBlock kept. What frees and allocates as one
// step (a load, a window's new size) calls it as it ends, so that nothing is
// held while the viewer waits that the image and the window do not own.
void ReleaseKeptBlocks();
