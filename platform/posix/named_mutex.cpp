// Named mutexes across processes.
//
// A name exists while any process holds a handle to it. Each holder keeps a shared lock on the
// name's lock file; the creator learns whether another holder exists by trying an exclusive lock
// first. A second, exclusive "guard" lock serialises creators, so that two processes starting at
// the same moment cannot both see the name as new. The kernel drops the locks of a process that
// ends, also when it crashed, so the name is gone with its last holder. Within the process the
// object waits and releases like an unnamed mutex.
#include "platform/win32.h"
#include "platform/posix/detail/kernel_object.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace win32::detail {

std::shared_ptr<KernelObject> CreateUnnamedMutex(bool initialOwner);

namespace {

// Directory of the lock files: $XDG_RUNTIME_DIR, else $TMPDIR, else /tmp; the user id keeps
// the names of different users apart.
std::string LockPath(LPCSTR name, const char* suffix) {
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    if (dir == nullptr || *dir == '\0') dir = std::getenv("TMPDIR");
    if (dir == nullptr || *dir == '\0') dir = "/tmp";
    std::string path = std::string(dir) + "/rw-mutex-" + std::to_string(getuid()) + "-";
    for (const char* p = name; *p != '\0'; ++p) path += (*p == '/') ? '_' : *p;
    return path + suffix;
}

class ScopedFd {
public:
    explicit ScopedFd(int fd) : fd(fd) {}
    ~ScopedFd() { if (fd >= 0) close(fd); }
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;
    int Get() const { return fd; }
    int Release() { int held = fd; fd = -1; return held; }

private:
    int fd;
};

int LockFlock(int fd, int operation) {
    int result;
    do result = flock(fd, operation); while (result < 0 && errno == EINTR);
    return result;
}

class NamedMutex : public KernelObject {
public:
    NamedMutex(std::shared_ptr<KernelObject> inner, int lockFd) : inner(std::move(inner)), lockFd(lockFd) {}
    ~NamedMutex() override { close(lockFd); }
    bool TryAcquire() override { return inner->TryAcquire(); }
    int SignalFd() const override { return inner->SignalFd(); }
    KernelObject& Inner() { return *inner; }

private:
    std::shared_ptr<KernelObject> inner;
    int lockFd;
};

}  // namespace

bool ReleaseMutexObject(KernelObject& object);

bool ReleaseNamedMutexObject(KernelObject& object) {
    auto* named = dynamic_cast<NamedMutex*>(&object);
    return named != nullptr && ReleaseMutexObject(named->Inner());
}

std::shared_ptr<KernelObject> CreateNamedMutex(LPCSTR name, bool initialOwner) {
    ScopedFd guard(open(LockPath(name, ".guard").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    ScopedFd lock(open(LockPath(name, ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (guard.Get() < 0 || lock.Get() < 0 || LockFlock(guard.Get(), LOCK_EX) < 0) {
        SetLastErrorFromErrno(errno);
        return nullptr;
    }
    bool exists = LockFlock(lock.Get(), LOCK_EX | LOCK_NB) < 0;
    if (LockFlock(lock.Get(), LOCK_SH) < 0) {
        SetLastErrorFromErrno(errno);
        return nullptr;
    }
    // Closing the guard descriptor releases the guard lock.
    auto object = std::make_shared<NamedMutex>(CreateUnnamedMutex(initialOwner), lock.Release());
    SetLastError(exists ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return object;
}

}  // namespace win32::detail
