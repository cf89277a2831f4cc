#include "gateway/ZAbstractThread.h"

namespace {

// The thread object whose Run the calling thread is in, and whether that object has been
// destroyed from inside its Run.
thread_local ZAbstractThread* t_running = nullptr;
thread_local bool t_destroyedInRun = false;

}  // namespace

ZAbstractThread::~ZAbstractThread() {
    if (t_running == this) {
        // Destroyed by its own Run: the thread ends without touching the object again.
        HANDLE own = threadHandle.exchange(nullptr);
        if (own != nullptr) CloseHandle(own);
        t_destroyedInRun = true;
        t_running = nullptr;
        return;
    }
    WaitForRun();
}

bool ZAbstractThread::Start() {
    if (threadHandle.load() != nullptr) return false;
    startGate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (startGate == nullptr) return false;
    HANDLE handle = CreateThread(nullptr, 0, &ZAbstractThread::ThreadEntry, this, 0, nullptr);
    if (handle == nullptr) {
        CloseHandle(startGate);
        startGate = nullptr;
        return false;
    }
    threadHandle.store(handle);
    // From here on the thread may run, and may even destroy the object.
    SetEvent(startGate);
    return true;
}

void ZAbstractThread::WaitForRun() {
    HANDLE handle = threadHandle.exchange(nullptr);
    if (handle == nullptr) return;
    WaitForSingleObject(handle, INFINITE);
    CloseHandle(handle);
}

DWORD WINAPI ZAbstractThread::ThreadEntry(LPVOID parameter) {
    auto* self = static_cast<ZAbstractThread*>(parameter);
    WaitForSingleObject(self->startGate, INFINITE);
    CloseHandle(self->startGate);
    self->startGate = nullptr;

    t_running = self;
    t_destroyedInRun = false;
    self->Run();
    if (t_destroyedInRun) return 0;
    t_running = nullptr;
    HANDLE own = self->threadHandle.exchange(nullptr);
    // The object may be gone from here on: an owner that found the handle taken does not wait.
    if (own != nullptr) CloseHandle(own);
    return 0;
}
