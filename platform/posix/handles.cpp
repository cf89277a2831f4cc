// The handle table and the pollable flag that every waitable kernel object is built on.
#include "platform/win32.h"
#include "platform/posix/detail/kernel_object.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <mutex>
#include <sys/eventfd.h>
#include <unistd.h>
#include <unordered_map>

namespace win32::detail {

namespace {

struct HandleTable {
    std::mutex lock;
    // Values only grow, so a stale handle never names a newer object.
    std::uintptr_t next = 4;
    std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> objects;
};

HandleTable& Table() {
    // Never destroyed: threads that outlive static destruction may still close their handles.
    static HandleTable* table = new HandleTable;
    return *table;
}

}  // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
    HandleTable& table = Table();
    std::lock_guard guard(table.lock);
    std::uintptr_t value = table.next;
    table.next += 4;
    table.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
    HandleTable& table = Table();
    std::lock_guard guard(table.lock);
    auto it = table.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == table.objects.end() ? nullptr : it->second;
}

std::shared_ptr<KernelObject> RemoveHandle(HANDLE handle) {
    HandleTable& table = Table();
    std::lock_guard guard(table.lock);
    auto it = table.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == table.objects.end()) return nullptr;
    std::shared_ptr<KernelObject> object = std::move(it->second);
    table.objects.erase(it);
    return object;
}

PollableFlag::PollableFlag() : fd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    RW_CHECK(fd >= 0);
}

PollableFlag::~PollableFlag() { close(fd); }

void PollableFlag::Raise() {
    if (raised) return;
    std::uint64_t one = 1;
    RW_CHECK(write(fd, &one, sizeof one) == sizeof one);
    raised = true;
}

void PollableFlag::Lower() {
    if (!raised) return;
    std::uint64_t count;
    RW_CHECK(read(fd, &count, sizeof count) == sizeof count);
    raised = false;
}

void Broken(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: broken invariant of the platform layer: %s\n", file, line, what);
    std::abort();
}

}  // namespace win32::detail

namespace win32 {

BOOL CloseHandle(HANDLE handle) {
    if (detail::RemoveHandle(handle) == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

}  // namespace win32
