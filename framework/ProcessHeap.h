// Blocks from the process heap.
#pragma once

#include <cstddef>

// Null when the heap is exhausted.
void* ProcessHeapAlloc(std::size_t size);
// count * size zeroed bytes; null when the heap is exhausted.
void* ProcessHeapAllocZero(std::size_t count, std::size_t size);
// A null block is ignored.
void ProcessHeapFree(void* block);
