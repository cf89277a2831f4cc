// The gateway's thread base and sync objects: one thread per object at a time, restart after
// Run, self-destruction on the own thread, event and mutex rules.
#include "gateway/ZAbstractThread.h"
#include "gateway/ZMutexUser.h"
#include "gateway/ZSyncEvent.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

namespace {

class GatedThread : public ZAbstractThread {
public:
    ~GatedThread() override {
        release.Set();
        WaitForRun();
    }
    void Join() { WaitForRun(); }
    ZSyncEvent entered, release, finished;
    std::atomic<int> runs{0};

protected:
    void Run() override {
        ++runs;
        entered.Set();
        release.Wait(10000);
        finished.Set();
    }
};

TEST(AbstractThread, OneThreadPerObjectAndRestartAfterRun) {
    GatedThread thread;
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(thread.entered.Wait(5000));
    EXPECT_FALSE(thread.Start());   // still running: no second thread
    thread.release.Set();
    ASSERT_TRUE(thread.finished.Wait(5000));
    thread.Join();
    ASSERT_TRUE(thread.Start());   // Run has returned: a new thread may start
    ASSERT_TRUE(thread.entered.Wait(5000));
    EXPECT_EQ(thread.runs.load(), 2);
}

TEST(AbstractThread, DestructionJoinsARunningThread) {
    auto* thread = new GatedThread;
    ASSERT_TRUE(thread->Start());
    ASSERT_TRUE(thread->entered.Wait(5000));
    delete thread;   // wakes and joins; the thread never sees the object destroyed
}

// Destroys itself at the end of its own Run, as a client connection does.
class SelfDeletingThread : public ZAbstractThread {
public:
    explicit SelfDeletingThread(ZSyncEvent& gone) : gone(gone) {}
    ~SelfDeletingThread() override { gone.Set(); }

protected:
    void Run() override { delete this; }

private:
    ZSyncEvent& gone;
};

TEST(AbstractThread, ObjectMayDestroyItselfOnItsOwnThread) {
    ZSyncEvent gone;
    for (int i = 0; i < 50; ++i) {
        auto* thread = new SelfDeletingThread(gone);
        ASSERT_TRUE(thread->Start());
        ASSERT_TRUE(gone.Wait(5000));
    }
}

TEST(SyncEvent, SetIsKeptUntilAWaitAndResetClearsIt) {
    ZSyncEvent event;
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));
    event.Set();
    event.Reset();
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(event.Wait(1000));
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(1000));
    EXPECT_LT(elapsed, std::chrono::milliseconds(3000));
}

class LockingThread : public ZAbstractThread {
public:
    explicit LockingThread(ZSyncMutex& mutex) : mutex(mutex) {}
    ~LockingThread() override { WaitForRun(); }
    ZSyncEvent started, locked;

protected:
    void Run() override {
        started.Set();
        ZMutexUser user(mutex);
        locked.Set();
    }

private:
    ZSyncMutex& mutex;
};

TEST(MutexUser, SecondUserWaitsForTheFirst) {
    ZSyncMutex mutex;
    LockingThread other(mutex);
    {
        ZMutexUser first(mutex);
        ASSERT_TRUE(other.Start());
        ASSERT_TRUE(other.started.Wait(5000));
        EXPECT_FALSE(other.locked.Wait(200));
    }
    EXPECT_TRUE(other.locked.Wait(5000));
}

}  // namespace
