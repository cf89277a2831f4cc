// The temporaries lists, one per thread.
//
// The wrappers are made by window code while one message is handled and must live until the
// loop of the same thread is done with that message, so the list belongs to the thread and
// needs no lock. A thread-local object holds it; its destructor runs when the thread ends
// (also for the main thread, at exit and before static destruction), so what a thread never
// flushed is deleted then instead of leaking.
#include "framework/Temporaries.h"

#include <utility>
#include <vector>

namespace {

// Set once the calling thread's list has been destroyed. A wrapper made after that (by code
// running in the static destructors after the main thread's list is gone) is not kept anywhere:
// the caller can still use it, and the process is ending anyway.
thread_local bool t_listGone = false;

class TemporaryList {
public:
    TemporaryList() = default;
    ~TemporaryList() {
        // A destructor may hand over new temporaries; keep flushing until none are left.
        while (!objects.empty()) Flush();
        t_listGone = true;
    }
    TemporaryList(const TemporaryList&) = delete;
    TemporaryList& operator=(const TemporaryList&) = delete;

    void Add(ZObject* object) { objects.push_back(object); }

    void Flush() {
        // The list is taken out before the deletions, so that an object added by a destructor
        // waits for the next flush instead of changing the list under the loop.
        std::vector<ZObject*> flushed;
        flushed.swap(objects);
        for (ZObject* object : flushed) delete object;
    }

private:
    std::vector<ZObject*> objects;
};

thread_local TemporaryList t_temporaries;

}  // namespace

void AddTemporary(ZObject* object) {
    if (object == nullptr || t_listGone) return;
    t_temporaries.Add(object);
}

void FlushTemporaries() {
    if (!t_listGone) t_temporaries.Flush();
}
