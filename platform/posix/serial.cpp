// COM ports: the device behind COMn, its settings, and overlapped reads, writes and event waits
// on a non-blocking descriptor.
//
// Who runs here: any thread that calls these functions, holding the port object (through the
// handle table's shared pointer) for the length of its call; one writer thread per open port;
// and threads in WaitForMultipleObjects, which complete a pending WaitCommEvent when they see the
// device readable (see PendingIo).
// Shared: a port's output queue and its current event wait, under the port's lock, which is held
// only around non-blocking calls. The status words of the caller's OVERLAPPED records are stored
// atomically, since the writer thread or a wait may complete an operation.
// Order: bytes reach the device in the order of the WriteFile calls; a WriteFile writes directly
// only while nothing is queued before it.
// Lifetime: the descriptor belongs to a Device shared by the port and its pending event wait, so
// it is closed only when no call, wait or writer still uses it. The port's destructor runs at the
// CloseHandle that drops the last reference: it stops and joins the writer, ends the writes still
// queued and cancels the event wait.
#include "platform/win32.h"
#include "platform/posix/detail/kernel_object.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <poll.h>
#include <string>
#include <strings.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace win32::detail {

// In serial_termios.cpp: both return 0 or errno.
int ApplySerialLine(int fd, DWORD baudRate, int dataBits, bool dtr, bool rts);
int FlushSerialQueues(int fd, bool input, bool output);
// In console.cpp: the console names and the terminal they open.
bool IsConsoleName(LPCSTR name);
HANDLE OpenConsole(DWORD access);

namespace {

// The status word of an operation in progress (STATUS_PENDING, as Windows keeps it there).
constexpr ULONG_PTR kPending = 0x103;

ULONG_PTR StatusOf(OVERLAPPED& record) {
    return std::atomic_ref(record.Internal).load(std::memory_order_acquire);
}

void MarkPending(OVERLAPPED& record) {
    std::atomic_ref(record.Internal).store(kPending, std::memory_order_release);
}

// Records the outcome and signals the record's event, as the I/O manager does.
void Complete(OVERLAPPED& record, DWORD error, DWORD bytes) {
    std::atomic_ref(record.InternalHigh).store(bytes, std::memory_order_relaxed);
    std::atomic_ref(record.Internal).store(error, std::memory_order_release);
    if (record.hEvent != nullptr) SetEvent(record.hEvent);
}

// Windows resets the record's event when an operation starts.
void Start(OVERLAPPED& record) {
    if (record.hEvent != nullptr) ResetEvent(record.hEvent);
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

BOOL FailErrno(int error) {
    SetLastErrorFromErrno(error);
    return FALSE;
}

// Descriptors of the COM devices this process holds in exclusive mode, for ExitProcess.
struct ExclusiveDevices {
    std::mutex lock;
    std::set<int> fds;
};

ExclusiveDevices& TheExclusiveDevices() {
    // Never destroyed: ExitProcess may run while static objects are being destroyed.
    static ExclusiveDevices* devices = new ExclusiveDevices;
    return *devices;
}

// The open descriptor of a COM device.
class Device {
public:
    explicit Device(int fd) : fd(fd) {}
    ~Device() {
        // Exclusive mode belongs to the terminal, not to this descriptor: left set, it would keep
        // the next program out while another process (a simulator) holds the terminal open.
        if (exclusive) {
            ioctl(fd, TIOCNXCL);
            std::lock_guard guard(TheExclusiveDevices().lock);
            TheExclusiveDevices().fds.erase(fd);
        }
        close(fd);   // also releases the lock
    }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    void MakeExclusive() {
        exclusive = true;
        std::lock_guard guard(TheExclusiveDevices().lock);
        TheExclusiveDevices().fds.insert(fd);
    }

    const int fd;
    bool exclusive = false;
};

// A WaitCommEvent in progress, joined to the waits on the record's event.
class CommWait : public PendingIo {
public:
    CommWait(std::shared_ptr<Device> device, const std::shared_ptr<Event>& event, DWORD* mask, OVERLAPPED* record)
        : device(std::move(device)), event(event), mask(mask), record(record) {}

    pollfd PollFor() const override { return pollfd{device->fd, POLLIN, 0}; }

    void OnReady(short revents) override {
        // A hung-up terminal reports POLLIN too (Linux), but nothing can be read from it any more.
        if (revents & (POLLHUP | POLLERR)) Finish(0, ErrorFromErrno(EIO));
        else Finish(EV_RXCHAR, ERROR_SUCCESS);
    }

    // Ends the wait with an empty mask, as SetCommMask and the end of the port do.
    void Cancel(DWORD error) { Finish(0, error); }

    bool Done() {
        std::lock_guard guard(lock);
        return done;
    }

private:
    void Finish(DWORD events, DWORD error) {
        std::lock_guard guard(lock);
        if (done) return;
        done = true;
        *mask = events;
        std::atomic_ref(record->InternalHigh).store(0, std::memory_order_relaxed);
        std::atomic_ref(record->Internal).store(error, std::memory_order_release);
        if (auto target = event.lock()) {
            target->DetachPending(this);
            target->Set();
        }
    }

    const std::shared_ptr<Device> device;
    const std::weak_ptr<Event> event;   // the event holds this wait, not the other way round
    std::mutex lock;
    bool done = false;
    DWORD* const mask;
    OVERLAPPED* const record;
};

class ComPort : public KernelObject {
public:
    explicit ComPort(std::shared_ptr<Device> device) : device(std::move(device)) {
        writer = std::thread([this] { RunWriter(); });
    }
    ~ComPort() override;
    ComPort(const ComPort&) = delete;
    ComPort& operator=(const ComPort&) = delete;

    int Fd() const { return device->fd; }
    BOOL SetMask(DWORD mask);
    BOOL AbortWrites();
    BOOL Status(LPDWORD errors, LPCOMSTAT stat);
    BOOL Read(void* buffer, DWORD toRead, LPDWORD read, OVERLAPPED& record);
    BOOL Write(const void* buffer, DWORD toWrite, LPDWORD written, OVERLAPPED& record);
    BOOL WaitEvent(LPDWORD mask, OVERLAPPED& record, const std::shared_ptr<Event>& event);
    // Blocks until the record's operation has completed (writes are the only ones that wait here).
    void WaitForCompletion(OVERLAPPED& record);

private:
    struct QueuedWrite {
        std::vector<BYTE> bytes;   // what the descriptor has not taken yet
        std::size_t written;       // of bytes
        DWORD total;               // the byte count of the WriteFile
        OVERLAPPED* record;
    };

    void RunWriter();
    void WaitWritable();
    // Under the lock.
    void EndQueuedWrites(DWORD error);
    void Finish(QueuedWrite& write, DWORD error, DWORD bytes);

    const std::shared_ptr<Device> device;
    std::mutex lock;
    std::condition_variable outputQueued;
    std::condition_variable writeCompleted;
    std::deque<QueuedWrite> queue;
    std::size_t queuedBytes = 0;
    bool stopping = false;
    PollableFlag stopFlag;   // raised with stopping, so that the writer's poll wakes
    DWORD eventMask = 0;
    std::shared_ptr<CommWait> wait;
    std::thread writer;   // last, so that it starts when everything else is built
};

ComPort::~ComPort() {
    {
        std::lock_guard guard(lock);
        stopping = true;
        stopFlag.Raise();
    }
    outputQueued.notify_one();
    writer.join();
    std::shared_ptr<CommWait> pendingWait;
    {
        std::lock_guard guard(lock);
        EndQueuedWrites(ERROR_OPERATION_ABORTED);
        pendingWait = std::move(wait);
    }
    if (pendingWait) pendingWait->Cancel(ERROR_OPERATION_ABORTED);
}

void ComPort::Finish(QueuedWrite& write, DWORD error, DWORD bytes) {
    Complete(*write.record, error, bytes);
    writeCompleted.notify_all();
}

void ComPort::EndQueuedWrites(DWORD error) {
    for (QueuedWrite& write : queue) Finish(write, error, static_cast<DWORD>(write.total - (write.bytes.size() - write.written)));
    queue.clear();
    queuedBytes = 0;
}

void ComPort::RunWriter() {
    std::unique_lock guard(lock);
    for (;;) {
        outputQueued.wait(guard, [this] { return stopping || !queue.empty(); });
        if (stopping) return;
        QueuedWrite& front = queue.front();
        ssize_t n = ::write(device->fd, front.bytes.data() + front.written, front.bytes.size() - front.written);
        if (n > 0) {
            front.written += static_cast<std::size_t>(n);
            queuedBytes -= static_cast<std::size_t>(n);
            if (front.written == front.bytes.size()) {
                Finish(front, ERROR_SUCCESS, front.total);
                queue.pop_front();
            }
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            guard.unlock();
            WaitWritable();
            guard.lock();
        } else {
            // The device has failed (a hung-up terminal gives EIO); nothing queued can go out.
            EndQueuedWrites(ErrorFromErrno(n < 0 ? errno : EIO));
        }
    }
}

void ComPort::WaitWritable() {
    pollfd fds[2] = {{device->fd, POLLOUT, 0}, {stopFlag.Fd(), POLLIN, 0}};
    while (poll(fds, 2, -1) < 0 && errno == EINTR) {
    }
}

BOOL ComPort::SetMask(DWORD mask) {
    if (mask & ~EV_RXCHAR) return Fail(ERROR_NOT_SUPPORTED);
    std::shared_ptr<CommWait> cancelled;
    {
        std::lock_guard guard(lock);
        eventMask = mask;
        cancelled = std::move(wait);
    }
    if (cancelled) cancelled->Cancel(ERROR_SUCCESS);
    return TRUE;
}

BOOL ComPort::AbortWrites() {
    std::lock_guard guard(lock);
    EndQueuedWrites(ERROR_OPERATION_ABORTED);
    return TRUE;
}

BOOL ComPort::Status(LPDWORD errors, LPCOMSTAT stat) {
    int queued = 0;
    if (ioctl(device->fd, FIONREAD, &queued) < 0) return FailErrno(errno);
    if (errors != nullptr) *errors = 0;
    if (stat != nullptr) {
        *stat = COMSTAT{};
        stat->cbInQue = static_cast<DWORD>(queued);
        std::lock_guard guard(lock);
        stat->cbOutQue = static_cast<DWORD>(queuedBytes);
    }
    return TRUE;
}

BOOL ComPort::Read(void* buffer, DWORD toRead, LPDWORD read, OVERLAPPED& record) {
    if (read != nullptr) *read = 0;
    Start(record);
    ssize_t n = 0;
    if (toRead > 0) {
        do {
            n = ::read(device->fd, buffer, toRead);
        } while (n < 0 && errno == EINTR);
        if (n == 0) return FailErrno(EIO);   // with VMIN 1, a read of 0 bytes means a hang-up
        // Nothing queued: the read's time-outs end it at once with 0 bytes.
        if (n < 0 && errno == EAGAIN) n = 0;
        if (n < 0) return FailErrno(errno);
    }
    Complete(record, ERROR_SUCCESS, static_cast<DWORD>(n));
    if (read != nullptr) *read = static_cast<DWORD>(n);
    return TRUE;
}

BOOL ComPort::Write(const void* buffer, DWORD toWrite, LPDWORD written, OVERLAPPED& record) {
    if (written != nullptr) *written = 0;
    Start(record);
    const BYTE* bytes = static_cast<const BYTE*>(buffer);
    std::lock_guard guard(lock);
    std::size_t done = 0;
    if (queue.empty()) {
        ssize_t n;
        do {
            n = ::write(device->fd, bytes, toWrite);
        } while (n < 0 && errno == EINTR);
        if (n < 0 && errno != EAGAIN) return FailErrno(errno);
        done = n > 0 ? static_cast<std::size_t>(n) : 0;
        if (done == toWrite) {
            Complete(record, ERROR_SUCCESS, toWrite);
            if (written != nullptr) *written = toWrite;
            return TRUE;
        }
    }
    MarkPending(record);
    queue.push_back(QueuedWrite{std::vector<BYTE>(bytes + done, bytes + toWrite), 0, toWrite, &record});
    queuedBytes += toWrite - done;
    outputQueued.notify_one();
    return Fail(ERROR_IO_PENDING);
}

BOOL ComPort::WaitEvent(LPDWORD mask, OVERLAPPED& record, const std::shared_ptr<Event>& event) {
    std::lock_guard guard(lock);
    if (eventMask == 0 || (wait && !wait->Done())) return Fail(ERROR_INVALID_PARAMETER);
    wait.reset();
    event->Reset();
    *mask = 0;
    pollfd probe{device->fd, POLLIN, 0};
    int ready;
    do {
        ready = poll(&probe, 1, 0);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) return FailErrno(errno);
    if (ready > 0 && (probe.revents & (POLLHUP | POLLERR))) return FailErrno(EIO);   // hung up
    if (ready > 0) {
        *mask = EV_RXCHAR;
        Complete(record, ERROR_SUCCESS, 0);
        return TRUE;
    }
    MarkPending(record);
    wait = std::make_shared<CommWait>(device, event, mask, &record);
    event->AttachPending(wait);
    return Fail(ERROR_IO_PENDING);
}

void ComPort::WaitForCompletion(OVERLAPPED& record) {
    std::unique_lock guard(lock);
    writeCompleted.wait(guard, [&] { return StatusOf(record) != kPending; });
}

std::shared_ptr<ComPort> LookupPort(HANDLE handle) {
    auto port = LookupHandleAs<ComPort>(handle);
    if (!port) SetLastError(ERROR_INVALID_HANDLE);
    return port;
}

// n of "COMn" (any case, as Windows takes it), 0 for a COM name without a port, -1 for other names.
int PortNumber(LPCSTR name) {
    if (name == nullptr || strncasecmp(name, "COM", 3) != 0 || name[3] == '\0') return -1;
    int n = 0;
    for (const char* p = name + 3; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9' || n > 9999) return -1;
        n = n * 10 + (*p - '0');
    }
    return n;
}

std::string DevicePath(int n) {
    std::string variable = "RW_COM" + std::to_string(n);
    if (const char* path = std::getenv(variable.c_str()); path != nullptr && *path != '\0') return path;
    return "/dev/ttyS" + std::to_string(n - 1);
}

// Windows reports a COM port that another handle holds as access denied.
HANDLE InUse() {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
}

HANDLE OpenFailed(int error) {
    switch (error) {
        case EBUSY: return InUse();   // held in exclusive mode by another process
        // A device node without a device behind it: Linux opens a ttyS without a UART with EIO.
        case EIO:
        case ENXIO:
        case ENODEV: SetLastError(ERROR_FILE_NOT_FOUND); break;
        default: SetLastErrorFromErrno(error); break;
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

void ReleaseExclusiveDevices() {
    std::lock_guard guard(TheExclusiveDevices().lock);
    for (int fd : TheExclusiveDevices().fds) ioctl(fd, TIOCNXCL);
}

}  // namespace win32::detail

namespace win32 {

using detail::LookupPort;

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD creation, DWORD flags, HANDLE) {
    if (detail::IsConsoleName(name)) return detail::OpenConsole(access);
    int n = detail::PortNumber(name);
    if (n < 0 || creation != OPEN_EXISTING || (flags & FILE_FLAG_OVERLAPPED) == 0 ||
        (access & (GENERIC_READ | GENERIC_WRITE)) == 0) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return INVALID_HANDLE_VALUE;
    }
    if (n == 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    bool reads = (access & GENERIC_READ) != 0;
    bool writes = (access & GENERIC_WRITE) != 0;
    int mode = reads && writes ? O_RDWR : reads ? O_RDONLY : O_WRONLY;
    int fd = open(detail::DevicePath(n).c_str(), mode | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return detail::OpenFailed(errno);
    auto device = std::make_shared<detail::Device>(fd);

    // Exclusive mode keeps other processes out, but not root (CAP_SYS_ADMIN), which only sees
    // that it is set; the lock keeps out whoever takes it too, this process included.
    int held = 0;
    if (ioctl(fd, TIOCGEXCL, &held) == 0 && held != 0) return detail::InUse();
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? detail::InUse() : detail::OpenFailed(errno);
    if (ioctl(fd, TIOCEXCL) != 0) {
        // What RW_COM<n> names is no terminal, so there is no COM port.
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    device->MakeExclusive();

    std::shared_ptr<detail::ComPort> port;
    try {
        port = std::make_shared<detail::ComPort>(std::move(device));
    } catch (const std::exception&) {   // no thread or no memory for the writer
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(ERROR_SUCCESS);
    return detail::InsertHandle(std::move(port));
}

BOOL SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue) {
    if (!LookupPort(file)) return FALSE;
    if (inQueue == 0 || outQueue == 0) return detail::Fail(ERROR_INVALID_PARAMETER);
    return TRUE;
}

BOOL SetCommState(HANDLE file, LPDCB dcb) {
    auto port = LookupPort(file);
    if (!port) return FALSE;
    if (dcb == nullptr || dcb->BaudRate == 0 || dcb->ByteSize < 5 || dcb->ByteSize > 8)
        return detail::Fail(ERROR_INVALID_PARAMETER);
    if (dcb->Parity != NOPARITY || dcb->StopBits != ONESTOPBIT || dcb->fOutxCtsFlow || dcb->fOutxDsrFlow ||
        dcb->fDsrSensitivity || dcb->fOutX || dcb->fInX || dcb->fNull || dcb->fAbortOnError ||
        dcb->fDtrControl > DTR_CONTROL_ENABLE || dcb->fRtsControl > RTS_CONTROL_ENABLE)
        return detail::Fail(ERROR_NOT_SUPPORTED);
    int error = detail::ApplySerialLine(port->Fd(), dcb->BaudRate, dcb->ByteSize,
                                        dcb->fDtrControl == DTR_CONTROL_ENABLE, dcb->fRtsControl == RTS_CONTROL_ENABLE);
    return error == 0 ? TRUE : detail::FailErrno(error);
}

BOOL SetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts) {
    if (!LookupPort(file)) return FALSE;
    if (timeouts == nullptr) return detail::Fail(ERROR_INVALID_PARAMETER);
    bool readsAtOnce = timeouts->ReadIntervalTimeout == MAXDWORD &&
                       (timeouts->ReadTotalTimeoutMultiplier == MAXDWORD ||
                        (timeouts->ReadTotalTimeoutMultiplier == 0 && timeouts->ReadTotalTimeoutConstant == 0));
    bool writesUntimed = timeouts->WriteTotalTimeoutMultiplier == 0 && timeouts->WriteTotalTimeoutConstant == 0;
    return readsAtOnce && writesUntimed ? TRUE : detail::Fail(ERROR_NOT_SUPPORTED);
}

BOOL SetCommMask(HANDLE file, DWORD mask) {
    auto port = LookupPort(file);
    return port ? port->SetMask(mask) : FALSE;
}

BOOL PurgeComm(HANDLE file, DWORD flags) {
    auto port = LookupPort(file);
    if (!port) return FALSE;
    if (flags & ~(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR))
        return detail::Fail(ERROR_INVALID_PARAMETER);
    if (flags & PURGE_TXABORT) port->AbortWrites();
    int error = detail::FlushSerialQueues(port->Fd(), (flags & PURGE_RXCLEAR) != 0, (flags & PURGE_TXCLEAR) != 0);
    return error == 0 ? TRUE : detail::FailErrno(error);
}

BOOL ClearCommError(HANDLE file, LPDWORD errors, LPCOMSTAT stat) {
    auto port = LookupPort(file);
    return port ? port->Status(errors, stat) : FALSE;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped) {
    auto port = LookupPort(file);
    if (!port) return FALSE;
    if (overlapped == nullptr || (buffer == nullptr && toRead > 0)) return detail::Fail(ERROR_INVALID_PARAMETER);
    return port->Read(buffer, toRead, read, *overlapped);
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED overlapped) {
    auto port = LookupPort(file);
    if (!port) return FALSE;
    if (overlapped == nullptr || (buffer == nullptr && toWrite > 0)) return detail::Fail(ERROR_INVALID_PARAMETER);
    return port->Write(buffer, toWrite, written, *overlapped);
}

BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD transferred, BOOL wait) {
    auto port = LookupPort(file);
    if (!port) return FALSE;
    if (overlapped == nullptr) return detail::Fail(ERROR_INVALID_PARAMETER);
    if (detail::StatusOf(*overlapped) == detail::kPending) {
        if (!wait) return detail::Fail(ERROR_IO_INCOMPLETE);
        if (overlapped->hEvent == nullptr) {
            port->WaitForCompletion(*overlapped);
        } else {
            // A wait on the event is also what completes a pending WaitCommEvent.
            while (detail::StatusOf(*overlapped) == detail::kPending) {
                if (WaitForSingleObject(overlapped->hEvent, INFINITE) == WAIT_FAILED) return FALSE;
            }
        }
    }
    auto status = static_cast<DWORD>(detail::StatusOf(*overlapped));
    if (transferred != nullptr)
        *transferred = static_cast<DWORD>(std::atomic_ref(overlapped->InternalHigh).load(std::memory_order_relaxed));
    return status == ERROR_SUCCESS ? TRUE : detail::Fail(status);
}

BOOL WaitCommEvent(HANDLE file, LPDWORD mask, LPOVERLAPPED overlapped) {
    auto port = LookupPort(file);
    if (!port) return FALSE;
    if (mask == nullptr || overlapped == nullptr || overlapped->hEvent == nullptr)
        return detail::Fail(ERROR_INVALID_PARAMETER);
    auto event = detail::LookupHandleAs<detail::Event>(overlapped->hEvent);
    if (!event) return detail::Fail(ERROR_INVALID_HANDLE);
    return port->WaitEvent(mask, *overlapped, event);
}

}  // namespace win32
