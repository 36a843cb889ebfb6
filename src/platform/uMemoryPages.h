#pragma once
// Giving back to the system the memory pages of text already read, so that a
// huge document read once from front to back does not stay in memory whole.
// Only Linux gives back part of a mapping or of the heap safely; elsewhere
// nothing is released and the reader keeps its text.

#include <cstddef>

std::size_t MemoryPageSize();

// Drops the whole pages within [from, to): a private file mapping reads them
// from the file again, anonymous memory reads zeros. Nothing where pages
// cannot be released.
void ReleasePages(const char* from, const char* to);
