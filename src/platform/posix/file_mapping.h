// Files mapped into memory, guarded against being cut short while mapped.
// Internal to the memory module.
#pragma once

#include <cstddef>
#include <cstdint>

// Maps bytes of the open file from offset on, read-only; null when it cannot.
std::uint8_t* MapFileBytes(int descriptor, std::uint64_t offset, std::size_t bytes);

// The bytes of every file mapped now.
std::size_t MappedFileBytes();

// Unmaps a block MapFileBytes gave; false for any other block.
bool UnmapFileBytes(const void* block);

// Whether the file behind a mapped block changed while it was mapped: cut
// short, or another size or modification time than when it was mapped.
bool FileBytesChanged(const void* block);

// Take pages of a mapping out of the process's memory; they stay the system's
// cache of the file and come back if read again. The first, those of the
// mapping that holds position which lie in whole blocks of the file before
// it; the second, all of a mapped block. Nothing for any other address.
void ReleaseFilePagesBefore(const void* position);
void ReleaseFilePages(const void* block);
