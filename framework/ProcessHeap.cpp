// Process-heap blocks. The heap handle is fetched at the first allocation and remembered; two
// threads that race there store the same value.
#include "framework/ProcessHeap.h"

#include "platform/win32.h"

#include <atomic>
#include <limits>

namespace {

std::atomic<HANDLE> g_processHeap{nullptr};

HANDLE Heap() {
    HANDLE heap = g_processHeap.load(std::memory_order_acquire);
    if (heap == nullptr) {
        heap = GetProcessHeap();
        g_processHeap.store(heap, std::memory_order_release);
    }
    return heap;
}

}  // namespace

void* ProcessHeapAlloc(std::size_t size) { return HeapAlloc(Heap(), 0, size); }

void* ProcessHeapAllocZero(std::size_t count, std::size_t size) {
    // A product that does not fit in a size would allocate far too little.
    if (size != 0 && count > std::numeric_limits<std::size_t>::max() / size) return nullptr;
    return HeapAlloc(Heap(), HEAP_ZERO_MEMORY, count * size);
}

void ProcessHeapFree(void* block) {
    if (block == nullptr) return;
    HANDLE heap = g_processHeap.load(std::memory_order_acquire);
    HeapFree(heap != nullptr ? heap : Heap(), 0, block);
}
