// Rules of the kernel objects that the gateway relies on: event reset rules, the wait order of
// WaitForMultipleObjects, mutex recursion and ownership, thread handles.
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>

namespace {

using Clock = std::chrono::steady_clock;

long ElapsedMs(Clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// Runs a function on a layer thread and waits for it with a bound.
class Worker {
public:
    template <class F>
    explicit Worker(F f) : body(f) {
        handle = CreateThread(nullptr, 0, &Worker::Entry, this, 0, nullptr);
    }
    ~Worker() {
        EXPECT_EQ(WaitForSingleObject(handle, 10000), WAIT_OBJECT_0);
        CloseHandle(handle);
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

private:
    static DWORD WINAPI Entry(LPVOID self) {
        static_cast<Worker*>(self)->body();
        return 0;
    }
    std::function<void()> body;
    HANDLE handle;
};

TEST(Event, AutoResetWakesOneWaiterPerSet) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    HANDLE woke = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::atomic<int> woken{0};
    {
        auto waiter = [&] {
            if (WaitForSingleObject(event, 10000) == WAIT_OBJECT_0) {
                ++woken;
                SetEvent(woke);
            }
        };
        Worker a(waiter), b(waiter), c(waiter);
        for (int i = 1; i <= 3; ++i) {
            ASSERT_TRUE(SetEvent(event));
            ASSERT_EQ(WaitForSingleObject(woke, 5000), WAIT_OBJECT_0);
            // No second waiter wakes on the same Set.
            EXPECT_EQ(WaitForSingleObject(woke, 100), WAIT_TIMEOUT);
            EXPECT_EQ(woken.load(), i);
        }
    }
    EXPECT_EQ(woken.load(), 3);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);   // every Set was consumed
    CloseHandle(event);
    CloseHandle(woke);
}

TEST(Event, SetBeforeWaitIsKeptAndResetClearsIt) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);   // auto-reset consumed it

    ASSERT_TRUE(SetEvent(event));
    ASSERT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);

    HANDLE manual = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);   // stays signalled
    ResetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    CloseHandle(manual);
}

TEST(Event, WaitOnUnsetEventTimesOutAfterItsTime) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    Clock::time_point start = Clock::now();
    EXPECT_EQ(WaitForSingleObject(event, 1000), WAIT_TIMEOUT);
    long elapsed = ElapsedMs(start);
    EXPECT_GE(elapsed, 1000);
    EXPECT_LT(elapsed, 3000);
    CloseHandle(event);
}

TEST(Event, SetFromAnotherThreadEndsAWait) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    Worker setter([&] { SetEvent(event); });
    EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
    CloseHandle(event);
}

TEST(Wait, LowestSignalledIndexWins) {
    HANDLE events[3] = {CreateEventA(nullptr, TRUE, FALSE, nullptr),
                        CreateEventA(nullptr, FALSE, FALSE, nullptr),
                        CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    SetEvent(events[2]);
    SetEvent(events[1]);
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_TIMEOUT);
    // A manual-reset event at index 0 wins every time and keeps winning.
    SetEvent(events[0]);
    SetEvent(events[1]);
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, INFINITE), WAIT_OBJECT_0);
    // Index 1 was not consumed by those waits.
    EXPECT_EQ(WaitForSingleObject(events[1], 0), WAIT_OBJECT_0);
    for (HANDLE e : events) CloseHandle(e);
}

TEST(Wait, BadHandlesFail) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_TRUE(CloseHandle(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(SetEvent(event));
}

TEST(Mutex, RecursiveAndOwnedByItsThread) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
    ASSERT_NE(mutex, nullptr);
    ASSERT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    ASSERT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);   // the owner takes it again

    std::atomic<DWORD> otherWait{0};
    std::atomic<BOOL> otherRelease{TRUE};
    std::atomic<DWORD> otherError{0};
    {
        Worker other([&] {
            otherWait = WaitForSingleObject(mutex, 0);
            otherRelease = ReleaseMutex(mutex);
            otherError = GetLastError();
        });
    }
    EXPECT_EQ(otherWait.load(), WAIT_TIMEOUT);
    EXPECT_FALSE(otherRelease.load());
    EXPECT_EQ(otherError.load(), ERROR_NOT_OWNER);

    // Two acquisitions need two releases before another thread gets it.
    ASSERT_TRUE(ReleaseMutex(mutex));
    {
        Worker other([&] { otherWait = WaitForSingleObject(mutex, 0); });
    }
    EXPECT_EQ(otherWait.load(), WAIT_TIMEOUT);
    ASSERT_TRUE(ReleaseMutex(mutex));
    EXPECT_FALSE(ReleaseMutex(mutex));
    {
        Worker other([&] {
            otherWait = WaitForSingleObject(mutex, 0);
            ReleaseMutex(mutex);
        });
    }
    EXPECT_EQ(otherWait.load(), WAIT_OBJECT_0);
    CloseHandle(mutex);
}

TEST(Mutex, WaiterGetsItWhenReleased) {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, nullptr);   // owned by this thread
    HANDLE started = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::atomic<bool> acquired{false};
    {
        Worker other([&] {
            SetEvent(started);
            if (WaitForSingleObject(mutex, 5000) == WAIT_OBJECT_0) {
                acquired = true;
                ReleaseMutex(mutex);
            }
        });
        ASSERT_EQ(WaitForSingleObject(started, 5000), WAIT_OBJECT_0);
        EXPECT_FALSE(acquired.load());
        ReleaseMutex(mutex);
    }
    EXPECT_TRUE(acquired.load());
    CloseHandle(mutex);
    CloseHandle(started);
}

TEST(Thread, HandleIsSignalledWhenTheThreadEnds) {
    HANDLE go = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    DWORD id = 0;
    struct Args { HANDLE go; DWORD seenId; } args{go, 0};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto* a = static_cast<Args*>(p);
            a->seenId = GetCurrentThreadId();
            WaitForSingleObject(a->go, INFINITE);
            return 0;
        },
        &args, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 50), WAIT_TIMEOUT);
    SetEvent(go);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(args.seenId, id);
    EXPECT_NE(id, GetCurrentThreadId());
    EXPECT_NE(id, 0u);
    CloseHandle(thread);
    CloseHandle(go);
}

TEST(CriticalSection, IsRecursiveAndExcludesOthers) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    int counter = 0;
    {
        auto add = [&] {
            for (int i = 0; i < 10000; ++i) {
                EnterCriticalSection(&section);
                EnterCriticalSection(&section);
                ++counter;
                LeaveCriticalSection(&section);
                LeaveCriticalSection(&section);
            }
        };
        Worker a(add), b(add);
    }
    EXPECT_EQ(counter, 20000);
    DeleteCriticalSection(&section);
}

}  // namespace
