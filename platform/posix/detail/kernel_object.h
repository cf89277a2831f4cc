// The layer's kernel objects: the handle table, the events and what a wait asks of an object.
// Only the layer's own sources include this header.
#pragma once

#include "platform/posix/types.h"

#include <memory>
#include <mutex>
#include <poll.h>

namespace win32::detail {

// A broken invariant of the layer ends the process with a message; it never limps on. Unlike
// assert, it also holds in release builds.
[[noreturn]] void Broken(const char* what, const char* file, int line);
#define RW_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : ::win32::detail::Broken(#condition, __FILE__, __LINE__))

// I/O that has not completed yet and whose completion signals an event (a serial WaitCommEvent).
// A wait on that event polls the I/O's descriptor as well, so the completion is seen at once,
// without a helper thread and without polling timers.
class PendingIo {
public:
    virtual ~PendingIo() = default;
    // The descriptor and the poll events that tell the I/O may complete.
    virtual pollfd PollFor() const = 0;
    // Called by a wait when poll reported the descriptor ready. It must complete the I/O (and
    // signal its event) or detach it: a wait that finds the descriptor ready again at once
    // would otherwise spin.
    virtual void OnReady(short revents) = 0;
};

class KernelObject {
public:
    virtual ~KernelObject() = default;
    // Takes the object for the calling thread when it is signalled: an auto-reset event is
    // reset, a mutex is acquired. False when not signalled or not waitable.
    virtual bool TryAcquire() { return false; }
    // A descriptor that is readable whenever the object may be signalled; -1 when not waitable.
    virtual int SignalFd() const { return -1; }
    // I/O in progress whose completion signals this object, or null.
    virtual std::shared_ptr<PendingIo> Pending() const { return nullptr; }
};

// A flag that a poll can watch: an eventfd that is readable exactly while the flag is raised.
// The owner guards it with its own lock.
class PollableFlag {
public:
    PollableFlag();
    ~PollableFlag();
    PollableFlag(const PollableFlag&) = delete;
    PollableFlag& operator=(const PollableFlag&) = delete;
    void Raise();
    void Lower();
    bool IsRaised() const { return raised; }
    int Fd() const { return fd; }

private:
    int fd;
    bool raised = false;
};

class Event : public KernelObject {
public:
    Event(bool manualReset, bool initialState);
    void Set();
    void Reset();
    bool TryAcquire() override;
    int SignalFd() const override { return flag.Fd(); }
    std::shared_ptr<PendingIo> Pending() const override;
    // Joins the I/O to every wait on this event that starts afterwards, until it is detached
    // (when it completes or is cancelled). A wait already blocked on the event does not see it:
    // the thread that waits is the one that starts the I/O.
    void AttachPending(std::shared_ptr<PendingIo> io);
    void DetachPending(const PendingIo* io);

private:
    mutable std::mutex lock;
    const bool manualReset;
    PollableFlag flag;
    std::shared_ptr<PendingIo> pending;
};

// The handle table. Handles are small non-null values that are never INVALID_HANDLE_VALUE;
// a closed handle's value is not reused while it could be confused with a live one.
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);
// Removes the handle; the object lives on while a wait or an operation still holds it.
std::shared_ptr<KernelObject> RemoveHandle(HANDLE handle);

template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

// The wait of WaitForMultipleObjects over objects already looked up (at most
// MAXIMUM_WAIT_OBJECTS, each with a SignalFd); the message queue waits join it.
DWORD WaitForObjects(const std::shared_ptr<KernelObject>* objects, DWORD count, DWORD milliseconds);
// The waitable objects of the handles; false with ERROR_INVALID_HANDLE when one is none.
bool LookupWaitables(const HANDLE* handles, DWORD count, std::shared_ptr<KernelObject>* objects);

// Sets the calling thread's last error from errno through the one translation table.
void SetLastErrorFromErrno(int error);
DWORD ErrorFromErrno(int error);

// Takes exclusive mode off the COM devices the process holds: the process ends without their
// destructors, and the mode would outlive it while another process holds the terminal.
void ReleaseExclusiveDevices();

}  // namespace win32::detail
