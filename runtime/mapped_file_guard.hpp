// The guard of mapped files against shrinking under a reader. Reading a
// page past the end of a file that shrank raises SIGBUS; for a guarded
// mapping the handler puts a page of zeros in its place and notes that its
// file shrank, and the read goes on, so that the reader finishes and its
// caller can tell that what it read is not whole.
#pragma once

#include <cstddef>

namespace xrd {

inline constexpr int kNoGuard = -1;

// Guards [begin, begin + length) and gives its guard, or kNoGuard when all
// 64 guards are taken (the caller then reads instead of mapping).
int GuardMapping(void* begin, std::size_t length);

// Gives the guard back; the mapping must not be read after this.
void UnguardMapping(int guard);

// Whether a page past the file's end was read through this guard: the file
// shrank after it was mapped.
bool GuardedFileShrank(int guard);

}  // namespace xrd
