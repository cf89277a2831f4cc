// The handle classes: the Attach/Detach/Close rules of the template and its two invalid values,
// the named mutex, and threads started through the C run-time.
#include "framework/ZHandle.h"
#include "framework/ZMutex.h"
#include "framework/ZThread.h"
#include "framework/ZWinHandle.h"

#include "support/TemporaryRuntimeDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

HANDLE Fake(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }

struct FakeWindow;
using HFAKEWND = FakeWindow*;

TEST(ZHandle, AttachRefusesOnlyTheInvalidValuesOfItsClass) {
    ZWinHandle kernel;
    EXPECT_FALSE(kernel.IsValid());
    EXPECT_FALSE(kernel.Attach(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(kernel.Attach(nullptr));
    EXPECT_EQ(kernel.GetHandle(), nullptr);

    // A window-style handle's invalid value is null, so -1 is an ordinary handle there.
    ZHandle<HFAKEWND> window;
    auto minusOne = reinterpret_cast<HFAKEWND>(static_cast<std::intptr_t>(-1));
    EXPECT_TRUE(window.Attach(minusOne));
    EXPECT_TRUE(window.IsValid());
    EXPECT_FALSE(window.Attach(nullptr));
    EXPECT_EQ(window.GetHandle(), minusOne);
    window.Detach();
}

TEST(ZHandle, AttachOverwritesAndDetachHandsOut) {
    ZWinHandle kernel;
    EXPECT_TRUE(kernel.Attach(Fake(8)));
    EXPECT_TRUE(kernel.Attach(Fake(12)));   // the old handle is not closed
    EXPECT_EQ(kernel.Detach(), Fake(12));
    EXPECT_EQ(kernel.GetHandle(), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(kernel.IsValid());
    EXPECT_EQ(kernel.Detach(), INVALID_HANDLE_VALUE);

    // An empty object returns the invalid value and keeps its null handle.
    ZWinHandle fresh;
    EXPECT_EQ(fresh.Detach(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(fresh.GetHandle(), nullptr);

    ZHandle<HFAKEWND> window;
    EXPECT_EQ(window.Detach(), nullptr);
}

TEST(ZHandle, TemplateCloseOnlyForgets) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ZWinHandle kernel;
    ASSERT_TRUE(kernel.Attach(event));
    EXPECT_TRUE(kernel.Close());
    EXPECT_FALSE(kernel.IsValid());
    EXPECT_TRUE(SetEvent(event));   // the system object is still there
    EXPECT_TRUE(CloseHandle(event));
}

// Named mutexes keep their lock files in the per-user runtime directory; each test gets one of
// its own, so that runs side by side never share a name.
class ZMutexTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(runtimeDir.Made()); }
    rwtest::TemporaryRuntimeDir runtimeDir;
};

std::string UniqueName(const char* what) { return std::string("rwtest_") + what; }

TEST_F(ZMutexTest, CreateOnceCloseAndTheInvalidStates) {
    ZMutex mutex;
    EXPECT_FALSE(mutex.IsValid());
    std::string name = UniqueName("zmutex");
    ASSERT_TRUE(mutex.Create(name.c_str(), false, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    HANDLE held = mutex.GetHandle();

    // A second Create on the same object makes no system call: the last error stays as set.
    SetLastError(0xBEEF);
    EXPECT_FALSE(mutex.Create(name.c_str(), false, nullptr));
    EXPECT_EQ(GetLastError(), 0xBEEFu);
    EXPECT_EQ(mutex.GetHandle(), held);

    // Another object of the same name sees ERROR_ALREADY_EXISTS right after Create.
    ZMutex second;
    EXPECT_TRUE(second.Create(name.c_str(), false, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(second.IsValid());
    EXPECT_TRUE(second.Close());

    EXPECT_TRUE(mutex.Close());
    EXPECT_EQ(mutex.GetHandle(), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(mutex.IsValid());
    EXPECT_FALSE(CloseHandle(held));   // Close released the system handle
    EXPECT_TRUE(mutex.Close());        // and a second Close has nothing left to do
}

TEST_F(ZMutexTest, DestructorReleasesAnOwnedMutex) {
    struct Probe {
        HANDLE mutex = nullptr;
        DWORD result = WAIT_FAILED;
    } probe;
    {
        ZMutex mutex;
        ASSERT_TRUE(mutex.Create(UniqueName("owned").c_str(), true, nullptr));
        probe.mutex = mutex.GetHandle();
    }
    // The destructor released the mutex but left the handle open: another thread can take it.
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID raw) -> DWORD {
            auto* p = static_cast<Probe*>(raw);
            p->result = WaitForSingleObject(p->mutex, 5000);
            return 0;
        },
        &probe, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(probe.result, WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(probe.mutex));
}

// A thread whose Run waits until the test lets it go, and that records what it was given.
class GatedThread : public ZThread {
public:
    GatedThread()
        : started(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          gate(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          exited(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~GatedThread() override {
        CloseHandle(started);
        CloseHandle(gate);
        CloseHandle(exited);
    }

    HANDLE started;
    HANDLE gate;
    HANDLE exited;
    std::atomic<DWORD> parameterSeen{0};
    std::atomic<bool> runEndedBeforeExit{false};

protected:
    DWORD Run(DWORD parameter) override {
        parameterSeen = parameter;
        SetEvent(started);
        WaitForSingleObject(gate, 10000);
        runEnded = true;
        return parameter + 1;
    }
    void OnExit() override {
        runEndedBeforeExit = runEnded.load();
        SetEvent(exited);   // the last touch of this object on the thread
    }

private:
    std::atomic<bool> runEnded{false};
};

TEST(ZThread, RunsRunThenOnExitWithTheStartParameter) {
    GatedThread thread;
    ASSERT_TRUE(thread.Start(41, 0));
    EXPECT_TRUE(thread.IsValid());
    EXPECT_NE(thread.GetThreadId(), 0u);
    EXPECT_EQ(thread.GetStartParameter(), 41u);
    ASSERT_EQ(WaitForSingleObject(thread.started, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(thread.parameterSeen.load(), 41u);
    SetEvent(thread.gate);
    EXPECT_EQ(WaitForSingleObject(thread.GetHandle(), 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(thread.runEndedBeforeExit.load());
}

TEST(ZThread, CloseLeavesTheThreadRunning) {
    GatedThread thread;
    ASSERT_TRUE(thread.Start(7, 0));
    EXPECT_TRUE(thread.Close());
    EXPECT_EQ(thread.GetHandle(), nullptr);
    EXPECT_EQ(thread.GetThreadId(), 0u);
    EXPECT_EQ(thread.GetStartParameter(), 0u);
    // The thread still starts with its parameter and waits at the gate.
    ASSERT_EQ(WaitForSingleObject(thread.started, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(thread.parameterSeen.load(), 7u);
    EXPECT_EQ(WaitForSingleObject(thread.exited, 0), WAIT_TIMEOUT);
    SetEvent(thread.gate);
    EXPECT_EQ(WaitForSingleObject(thread.exited, 10000), WAIT_OBJECT_0);
}

TEST(ZThread, FailedStartKeepsTheParameterAndNoHandle) {
    GatedThread thread;
    // The layer creates no suspended threads, so these flags make the creation fail.
    EXPECT_FALSE(thread.Start(5, 4));
    EXPECT_EQ(thread.GetHandle(), nullptr);
    EXPECT_EQ(thread.GetStartParameter(), 5u);
}

}  // namespace
