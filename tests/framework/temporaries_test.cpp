// The temporaries lists: deletion order, one list per thread, and what a thread leaves behind.
#include "framework/Temporaries.h"
#include "framework/ZThread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace {

// Records the order in which probes are deleted, from any thread.
class DeletionLog {
public:
    void Record(int id) {
        std::lock_guard guard(lock);
        ids.push_back(id);
        changed.notify_all();
    }
    std::vector<int> Ids() {
        std::lock_guard guard(lock);
        return ids;
    }
    // The ids once count of them are there, or what is there after a bounded wait.
    std::vector<int> WaitFor(std::size_t count) {
        std::unique_lock guard(lock);
        changed.wait_for(guard, std::chrono::seconds(10), [&] { return ids.size() >= count; });
        return ids;
    }

private:
    std::mutex lock;
    std::condition_variable changed;
    std::vector<int> ids;
};

class Probe : public ZObject {
public:
    Probe(DeletionLog& log, int id, std::function<void()> onDelete = {})
        : log(log), id(id), onDelete(std::move(onDelete)) {}
    ~Probe() override {
        log.Record(id);
        if (onDelete) onDelete();
    }
    bool IsValid() const override { return true; }

private:
    DeletionLog& log;
    int id;
    std::function<void()> onDelete;
};

// Runs a function on a class-library thread and waits for the thread to end.
class FunctionThread : public ZThread {
public:
    explicit FunctionThread(std::function<void()> body) : body(std::move(body)) {}
    bool RunToEnd() {
        if (!Start(0, 0)) return false;
        return WaitForSingleObject(GetHandle(), 10000) == WAIT_OBJECT_0;
    }

protected:
    DWORD Run(DWORD) override {
        body();
        return 0;
    }

private:
    std::function<void()> body;
};

TEST(Temporaries, FlushDeletesInOrderOnceAndIgnoresNull) {
    DeletionLog log;
    AddTemporary(new Probe(log, 1));
    AddTemporary(nullptr);
    AddTemporary(new Probe(log, 2));
    AddTemporary(new Probe(log, 3));
    EXPECT_TRUE(log.Ids().empty());
    FlushTemporaries();
    EXPECT_EQ(log.Ids(), (std::vector<int>{1, 2, 3}));
    FlushTemporaries();
    EXPECT_EQ(log.Ids(), (std::vector<int>{1, 2, 3}));
}

TEST(Temporaries, ObjectAddedByADestructorWaitsForTheNextFlush) {
    DeletionLog log;
    AddTemporary(new Probe(log, 1, [&log] { AddTemporary(new Probe(log, 2)); }));
    FlushTemporaries();
    EXPECT_EQ(log.Ids(), (std::vector<int>{1}));
    FlushTemporaries();
    EXPECT_EQ(log.Ids(), (std::vector<int>{1, 2}));
}

TEST(Temporaries, FlushOnAnotherThreadLeavesThisThreadsObjects) {
    DeletionLog log;
    AddTemporary(new Probe(log, 1));
    FunctionThread other([] { FlushTemporaries(); });
    ASSERT_TRUE(other.RunToEnd());
    EXPECT_TRUE(log.Ids().empty());
    FlushTemporaries();
    EXPECT_EQ(log.Ids(), (std::vector<int>{1}));
}

TEST(Temporaries, ThreadEndDeletesWhatItNeverFlushed) {
    DeletionLog log;
    FunctionThread worker([&log] {
        AddTemporary(new Probe(log, 1));
        // Also what a destructor hands over while the list is torn down.
        AddTemporary(new Probe(log, 2, [&log] { AddTemporary(new Probe(log, 3)); }));
    });
    ASSERT_TRUE(worker.RunToEnd());
    // The thread's handle is signalled when its body returns; its list goes a moment later, as
    // the thread unwinds, so the test waits for the deletions themselves.
    EXPECT_EQ(log.WaitFor(3), (std::vector<int>{1, 2, 3}));
}

}  // namespace
