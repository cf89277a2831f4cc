// Events, mutexes, waits, threads and critical sections.
//
// Every waitable object keeps a PollableFlag that is readable while the object is signalled.
// A wait tries the objects in index order and, when none can be taken, polls their flags (and
// the descriptors of pending serial I/O joined to them) until one may have changed; it then tries
// again in index order, so the lowest signalled index always wins. A Set between the try and the
// poll leaves the flag readable, so no wake-up is lost.
#include "platform/win32.h"
#include "platform/posix/detail/kernel_object.h"
#include "platform/testing.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <new>
#include <pthread.h>
#include <thread>
#include <vector>

namespace win32::detail {

Event::Event(bool manualReset, bool initialState) : manualReset(manualReset) {
    if (initialState) flag.Raise();
}

void Event::Set() {
    std::lock_guard guard(lock);
    flag.Raise();
}

void Event::Reset() {
    std::lock_guard guard(lock);
    flag.Lower();
}

bool Event::TryAcquire() {
    std::lock_guard guard(lock);
    if (!flag.IsRaised()) return false;
    if (!manualReset) flag.Lower();
    return true;
}

std::shared_ptr<PendingIo> Event::Pending() const {
    std::lock_guard guard(lock);
    return pending;
}

void Event::AttachPending(std::shared_ptr<PendingIo> io) {
    std::lock_guard guard(lock);
    pending = std::move(io);
}

void Event::DetachPending(const PendingIo* io) {
    std::lock_guard guard(lock);
    if (pending.get() == io) pending.reset();
}

namespace {

class Mutex : public KernelObject {
public:
    explicit Mutex(bool initialOwner) {
        if (initialOwner) {
            owner = GetCurrentThreadId();
            count = 1;
        } else {
            flag.Raise();
        }
    }

    bool TryAcquire() override {
        std::lock_guard guard(lock);
        DWORD self = GetCurrentThreadId();
        if (count > 0 && owner != self) return false;
        owner = self;
        ++count;
        flag.Lower();
        return true;
    }

    bool Release() {
        std::lock_guard guard(lock);
        if (count == 0 || owner != GetCurrentThreadId()) return false;
        if (--count == 0) {
            owner = 0;
            flag.Raise();
        }
        return true;
    }

    int SignalFd() const override { return flag.Fd(); }

private:
    std::mutex lock;
    DWORD owner = 0;
    unsigned count = 0;
    PollableFlag flag;
};

// Signalled once its thread has ended.
class ThreadObject : public KernelObject {
public:
    void MarkEnded() {
        std::lock_guard guard(lock);
        flag.Raise();
    }
    bool TryAcquire() override {
        std::lock_guard guard(lock);
        return flag.IsRaised();
    }
    int SignalFd() const override { return flag.Fd(); }

private:
    std::mutex lock;
    PollableFlag flag;
};

std::atomic<DWORD> g_nextThreadId{1};
thread_local DWORD t_threadId = 0;

struct ThreadStart {
    std::shared_ptr<ThreadObject> object;
    LPTHREAD_START_ROUTINE routine;
    LPVOID parameter;
    DWORD id;
};

}  // namespace

}  // namespace win32::detail

namespace win32 {

using namespace detail;

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name) {
    if (name != nullptr) {   // no caller shares an event by name
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    return InsertHandle(std::make_shared<Event>(manualReset != FALSE, initialState != FALSE));
}

BOOL SetEvent(HANDLE handle) {
    auto event = LookupHandleAs<Event>(handle);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    event->Set();
    return TRUE;
}

BOOL ResetEvent(HANDLE handle) {
    auto event = LookupHandleAs<Event>(handle);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    event->Reset();
    return TRUE;
}

namespace detail {
// In named_mutex.cpp: the object for a named mutex, with ERROR_ALREADY_EXISTS or ERROR_SUCCESS
// left as the last error; null (and the error) on failure.
std::shared_ptr<KernelObject> CreateNamedMutex(LPCSTR name, bool initialOwner);

std::shared_ptr<KernelObject> CreateUnnamedMutex(bool initialOwner) {
    return std::make_shared<Mutex>(initialOwner);
}

bool ReleaseNamedMutexObject(KernelObject& object);

bool ReleaseMutexObject(KernelObject& object) {
    if (auto* mutex = dynamic_cast<Mutex*>(&object)) return mutex->Release();
    return ReleaseNamedMutexObject(object);
}
}  // namespace detail

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCSTR name) {
    if (name != nullptr) {
        std::shared_ptr<KernelObject> object = CreateNamedMutex(name, initialOwner != FALSE);
        if (!object) return nullptr;
        DWORD error = GetLastError();
        HANDLE handle = InsertHandle(std::move(object));
        SetLastError(error);
        return handle;
    }
    SetLastError(ERROR_SUCCESS);
    return InsertHandle(CreateUnnamedMutex(initialOwner != FALSE));
}

BOOL ReleaseMutex(HANDLE handle) {
    auto object = LookupHandle(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!ReleaseMutexObject(*object)) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || handles == nullptr || waitAll) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::shared_ptr<KernelObject> objects[MAXIMUM_WAIT_OBJECTS];
    if (!detail::LookupWaitables(handles, count, objects)) return WAIT_FAILED;
    return detail::WaitForObjects(objects, count, milliseconds);
}

namespace detail {

bool LookupWaitables(const HANDLE* handles, DWORD count, std::shared_ptr<KernelObject>* objects) {
    for (DWORD i = 0; i < count; ++i) {
        objects[i] = LookupHandle(handles[i]);
        if (!objects[i] || objects[i]->SignalFd() < 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return false;
        }
    }
    return true;
}

DWORD WaitForObjects(const std::shared_ptr<KernelObject>* objects, DWORD count, DWORD milliseconds) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    pollfd fds[2 * MAXIMUM_WAIT_OBJECTS];
    std::shared_ptr<PendingIo> pending[MAXIMUM_WAIT_OBJECTS];
    for (;;) {
        for (DWORD i = 0; i < count; ++i) {
            if (objects[i]->TryAcquire()) return WAIT_OBJECT_0 + i;
        }
        int timeout = -1;
        if (milliseconds != INFINITE) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return WAIT_TIMEOUT;
            timeout = static_cast<int>(left);
        }
        // The flags first, then the descriptors of the pending I/O joined to them.
        nfds_t used = 0;
        for (DWORD i = 0; i < count; ++i) fds[used++] = pollfd{objects[i]->SignalFd(), POLLIN, 0};
        DWORD pendingCount = 0;
        for (DWORD i = 0; i < count; ++i) {
            if (auto io = objects[i]->Pending()) {
                fds[used++] = io->PollFor();
                pending[pendingCount++] = std::move(io);
            }
        }
        int ready = poll(fds, used, timeout);
        if (ready < 0 && errno != EINTR) {
            detail::SetLastErrorFromErrno(errno);
            return WAIT_FAILED;
        }
        for (DWORD k = 0; k < pendingCount; ++k) {
            if (ready > 0 && fds[count + k].revents != 0) pending[k]->OnReady(fds[count + k].revents);
            pending[k].reset();
        }
    }
}

}  // namespace detail

namespace detail {

namespace {
void* ThreadMain(void* raw) {
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(raw));
    t_threadId = start->id;
    start->routine(start->parameter);
    start->object->MarkEnded();
    return nullptr;
}
}  // namespace

HANDLE StartThread(LPTHREAD_START_ROUTINE routine, LPVOID parameter, DWORD creationFlags,
                   LPDWORD threadId) {
    if (creationFlags != 0) {   // no caller creates a suspended thread
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto object = std::make_shared<ThreadObject>();
    DWORD id = g_nextThreadId.fetch_add(1);
    auto* start = new ThreadStart{object, routine, parameter, id};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    int error = pthread_create(&thread, &attributes, ThreadMain, start);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        delete start;
        SetLastErrorFromErrno(error);
        return nullptr;
    }
    if (threadId != nullptr) *threadId = id;
    return InsertHandle(std::move(object));
}

}  // namespace detail

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD creationFlags, LPDWORD threadId) {
    return StartThread(start, parameter, creationFlags, threadId);
}

DWORD GetCurrentThreadId() {
    if (t_threadId == 0) t_threadId = g_nextThreadId.fetch_add(1);
    return t_threadId;
}

void Sleep(DWORD milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

static_assert(sizeof(std::recursive_mutex) <= sizeof(CRITICAL_SECTION::opaque));
static_assert(alignof(std::recursive_mutex) <= alignof(CRITICAL_SECTION));

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
    new (section->opaque) std::recursive_mutex;
}

void EnterCriticalSection(LPCRITICAL_SECTION section) {
    std::launder(reinterpret_cast<std::recursive_mutex*>(section->opaque))->lock();
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) {
    std::launder(reinterpret_cast<std::recursive_mutex*>(section->opaque))->unlock();
}

void DeleteCriticalSection(LPCRITICAL_SECTION section) {
    std::launder(reinterpret_cast<std::recursive_mutex*>(section->opaque))->~recursive_mutex();
}

// Set by tests to make the next HeapAlloc fail as an exhausted heap would.
static std::atomic<bool> g_failNextHeapAlloc{false};

HANDLE GetProcessHeap() {
    static char heapTag;   // any stable non-null value names the one heap
    return &heapTag;
}

LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
    if (heap != GetProcessHeap()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (g_failNextHeapAlloc.exchange(false)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    // Windows hands out a valid block for a size of 0; malloc(0) may return null.
    void* block = (flags & HEAP_ZERO_MEMORY) ? std::calloc(bytes ? bytes : 1, 1) : std::malloc(bytes ? bytes : 1);
    if (block == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return block;
}

BOOL HeapFree(HANDLE heap, DWORD, LPVOID block) {
    if (heap != GetProcessHeap()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::free(block);
    return TRUE;
}

}  // namespace win32

void RwTestFailNextHeapAlloc() { win32::g_failNextHeapAlloc.store(true); }

namespace {

struct RuntimeStart {
    unsigned(__stdcall* start)(void*);
    void* argument;
};

win32::DWORD WINAPI RuntimeThreadMain(win32::LPVOID raw) {
    std::unique_ptr<RuntimeStart> start(static_cast<RuntimeStart*>(raw));
    return start->start(start->argument);
}

}  // namespace

std::uintptr_t _beginthreadex(void*, unsigned, unsigned(__stdcall* start)(void*), void* argument,
                              unsigned initFlag, unsigned* threadId) {
    auto* record = new RuntimeStart{start, argument};
    win32::DWORD id = 0;
    win32::HANDLE handle = win32::detail::StartThread(RuntimeThreadMain, record, initFlag, &id);
    if (handle == nullptr) {
        delete record;
        return 0;
    }
    if (threadId != nullptr) *threadId = id;
    return reinterpret_cast<std::uintptr_t>(handle);
}
