// Keeps a large mapped file's pages to a window behind its reader.
// Internal to the memory module.
#pragma once

#include <cstddef>
#include <cstdint>

struct ReadBehind;

// Starts a companion thread that follows the forward reader of the read-only
// mapping [base, base + length) of a file from fileOffset on, and takes the
// pages it has left well behind out of the process's memory. Null, and
// nothing started, for a mapping too small to matter, or where the process's
// page table cannot be read or no thread can be started.
ReadBehind* FollowReader(const void* base, std::size_t length, std::uint64_t fileOffset);

// Stops the companion and waits for it; the mapping may then be unmapped or
// dropped. Null does nothing.
void StopFollowing(ReadBehind* follower);

// The companion's one step, at once: finds how far the reader has got and
// drops what lies more than a margin behind that and was not dropped yet.
void DropPagesBehind(ReadBehind& follower);
