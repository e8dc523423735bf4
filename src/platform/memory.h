// Large blocks of memory: file bodies and the pixels of bitmaps. How they are
// obtained (heap, fresh pages, a mapped file) is decided in this one module;
// everything else asks through these calls and hands back the size it asked
// for.
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

// Gives a block back to the system; null does nothing.
void FreeBlock(void* block, std::size_t bytes);

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

// Where a block is a mapped file, pages its reader is done with leave the
// process's memory: the system keeps its cache of the file, and a read brings
// them back. ReleasePagesBefore is for a reader that goes forward and has got
// to position (it may be called for every row): what lies well before it
// goes. ReleaseBlockPages: the whole block, which is not read again before it
// is freed. Any other block stays as it is.
void ReleasePagesBefore(const void* position);
void ReleaseBlockPages(const void* block);
