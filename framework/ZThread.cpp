// ZThread: starting a class-library thread through _beginthreadex.
//
// The new thread reads only what it is handed at its start: the object and the start
// parameter, in a record of its own. The owner may therefore Close the object (which clears the
// stored parameter) at once after Start without racing with the thread's first steps.
#include "framework/ZThread.h"

#include <memory>

namespace {

struct StartRecord {
    ZThread* thread;
    DWORD parameter;
};

}  // namespace

ZThread::~ZThread() { ZThread::Close(); }

bool ZThread::Start(DWORD parameter, unsigned creationFlags) {
    startParameter = parameter;
    auto* record = new StartRecord{this, parameter};
    unsigned id = 0;
    std::uintptr_t created = _beginthreadex(nullptr, 0, &ZThread::ThreadEntry, record, creationFlags, &id);
    if (created == 0) {
        delete record;
        return false;
    }
    handle = reinterpret_cast<HANDLE>(created);
    threadId = id;
    return true;
}

bool ZThread::Close() {
    if (handle != nullptr) CloseHandle(handle);
    handle = nullptr;
    threadId = 0;
    startParameter = 0;
    return true;
}

unsigned __stdcall ZThread::ThreadEntry(void* start) {
    std::unique_ptr<StartRecord> record(static_cast<StartRecord*>(start));
    ZThread* thread = record->thread;
    DWORD result = thread->Run(record->parameter);
    thread->OnExit();
    return result;
}
