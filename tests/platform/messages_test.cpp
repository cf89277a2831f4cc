// The message queues: the order of posted messages, WM_QUIT, paint requests and timer ticks;
// filters; the waits; timer periods; registered messages.
#include "platform/win32.h"
#include "helpers/MessageRecorder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using rwtest::MessageRecorder;

long MsSince(Clock::time_point since) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// Takes every message that is there without waiting.
std::vector<UINT> Drain(HWND window = nullptr) {
    std::vector<UINT> got;
    MSG msg;
    while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) {
        got.push_back(msg.message);
        if (msg.message == WM_QUIT) break;
        DispatchMessageA(&msg);
    }
    return got;
}

class Queue : public ::testing::Test {
protected:
    void SetUp() override {
        window = recorder.Create(nullptr, WS_VISIBLE);
        ASSERT_NE(window, nullptr);
        Drain();   // the paint request of showing
        recorder.Take();
    }
    void TearDown() override {
        if (IsWindow(window)) DestroyWindow(window);
        Drain();
    }
    MessageRecorder recorder;
    HWND window = nullptr;
};

TEST_F(Queue, PostedThenQuitThenPaintThenTimer) {
    ASSERT_EQ(SetTimer(window, 5, 10, nullptr), 5u);
    InvalidateRect(window, nullptr, FALSE);
    PostQuitMessage(3);
    ASSERT_TRUE(PostMessageA(window, WM_USER + 1, 0, 0));
    ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 2, 0, 0));
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_USER + 3, 0, 0));
    ASSERT_TRUE(KillTimer(window, 5));
    ASSERT_EQ(SetTimer(window, 5, 10, nullptr), 5u);

    MSG msg;
    std::vector<UINT> order;
    for (int i = 0; i < 4; ++i) {
        BOOL result = GetMessageA(&msg, nullptr, 0, 0);
        order.push_back(msg.message);
        EXPECT_EQ(result, msg.message == WM_QUIT ? FALSE : TRUE);
    }
    EXPECT_EQ(order, (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_USER + 3, WM_QUIT}));
    EXPECT_EQ(msg.wParam, 3u);

    // The paint request stays until the window is validated; the tick comes after it.
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_PAINT);
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_PAINT);
    DispatchMessageA(&msg);   // the default procedure validates
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_TIMER);
    EXPECT_EQ(msg.hwnd, window);
    EXPECT_EQ(msg.wParam, 5u);
    KillTimer(window, 5);
}

TEST_F(Queue, PeekFiltersByWindowAndRange) {
    HWND other = recorder.Create();
    HWND child = recorder.Create(window, 0, 1);
    PostMessageA(other, WM_USER + 1, 0, 0);
    PostMessageA(child, WM_USER + 2, 0, 0);
    PostMessageA(window, WM_APP, 0, 0);

    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, window, 0, 0, PM_NOREMOVE));   // the child's counts as the window's
    EXPECT_EQ(msg.message, WM_USER + 2u);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_APP, WM_APP, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_APP);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_APP, WM_APP, PM_REMOVE));
    EXPECT_FALSE(PeekMessageA(&msg, reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1)), 0, 0, PM_NOREMOVE));

    PostQuitMessage(0);   // passes every filter
    ASSERT_TRUE(PeekMessageA(&msg, other, WM_APP, WM_APP, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_QUIT);

    EXPECT_EQ(Drain(other), std::vector<UINT>{WM_USER + 1});
    EXPECT_EQ(Drain(), std::vector<UINT>{WM_USER + 2});
    DestroyWindow(other);
}

TEST_F(Queue, PostingToAGoneWindowFailsAndItsMessagesGoWithIt) {
    HWND other = recorder.Create();
    PostMessageA(other, WM_USER, 0, 0);
    SetTimer(other, 1, 10, nullptr);
    DestroyWindow(other);
    SetLastError(0);
    EXPECT_FALSE(PostMessageA(other, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    SetLastError(0);
    EXPECT_FALSE(PostThreadMessageA(0x7FFFFFF0, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);
}

TEST_F(Queue, PostsFromOtherThreadsWakeGetMessageInOrder) {
    constexpr int kPerThread = 200;
    std::thread a([&] {
        for (int i = 0; i < kPerThread; ++i) PostMessageA(window, WM_USER, 0, i);
    });
    std::thread b([&] {
        for (int i = 0; i < kPerThread; ++i) PostMessageA(window, WM_USER + 1, 0, i);
    });
    LPARAM next[2] = {0, 0};
    MSG msg;
    for (int i = 0; i < 2 * kPerThread; ++i) {
        ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
        int source = static_cast<int>(msg.message - WM_USER);
        ASSERT_TRUE(source == 0 || source == 1);
        EXPECT_EQ(msg.lParam, next[source]++);   // each sender's messages keep their order
    }
    a.join();
    b.join();
}

TEST_F(Queue, WaitMessageReturnsForNewMessagesOnly) {
    PostMessageA(window, WM_USER, 0, 0);
    auto start = Clock::now();
    EXPECT_TRUE(WaitMessage());   // arrived since the last look
    EXPECT_LT(MsSince(start), 1000);

    // A message seen by a look does not end the wait: only the timer that falls due does.
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    SetTimer(window, 3, 100, nullptr);
    start = Clock::now();
    EXPECT_TRUE(WaitMessage());
    EXPECT_GE(MsSince(start), 95);
    EXPECT_LT(MsSince(start), 5000);
    KillTimer(window, 3);

    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    std::thread poster([&] { PostMessageA(window, WM_USER + 1, 0, 0); });
    EXPECT_TRUE(WaitMessage());   // a post from another thread ends it
    poster.join();
    EXPECT_EQ(Drain(), (std::vector<UINT>{WM_USER, WM_USER + 1}));
}

TEST_F(Queue, MsgWaitForMultipleObjectsSeesObjectsAndMessages) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 50, QS_ALLINPUT), WAIT_TIMEOUT);

    SetEvent(event);
    PostMessageA(window, WM_USER, 0, 0);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0);   // lowest index wins
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(Drain(), std::vector<UINT>{WM_USER});

    std::thread poster([&] { PostMessageA(window, WM_USER + 1, 0, 0); });
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 10000, QS_ALLINPUT), WAIT_OBJECT_0 + 1);
    poster.join();
    Drain();
    std::thread setter([&] { SetEvent(event); });
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 10000, QS_ALLINPUT), WAIT_OBJECT_0);
    setter.join();

    // A timer that falls due wakes the wait too.
    SetTimer(window, 9, 50, nullptr);
    auto start = Clock::now();
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 10000, QS_ALLINPUT), WAIT_OBJECT_0 + 1);
    EXPECT_GE(MsSince(start), 45);
    EXPECT_LT(MsSince(start), 5000);
    KillTimer(window, 9);

    SetLastError(0);
    HANDLE closed = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    CloseHandle(closed);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &closed, FALSE, 0, QS_ALLINPUT), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    CloseHandle(event);
}

TEST_F(Queue, TimerTicksComeAPeriodApart) {
    constexpr long kPeriod = 100;
    ASSERT_EQ(SetTimer(window, 1, kPeriod, nullptr), 1u);
    auto start = Clock::now();
    // The message time is taken when the tick is, so the spacing does not depend on how soon
    // this thread runs again.
    std::vector<DWORD> at;
    MSG msg;
    while (at.size() < 5) {
        ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
        if (msg.message == WM_TIMER && msg.wParam == 1) at.push_back(msg.time);
        DispatchMessageA(&msg);
    }
    long total = MsSince(start);
    KillTimer(window, 1);
    for (std::size_t i = 1; i < at.size(); ++i) {
        EXPECT_GE(static_cast<long>(at[i] - at[i - 1]), kPeriod - 1) << "tick " << i;   // never early
    }
    EXPECT_GE(total, 5 * kPeriod - 1);
    // Late only by what a busy machine adds to each wait.
    EXPECT_LE(total, 5 * kPeriod + 250);
}

TEST_F(Queue, LateTicksFoldIntoOneAndKillRemovesThePending) {
    SetTimer(window, 1, 20, nullptr);
    SetTimer(window, 2, 20, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(120));   // several periods pass unlooked
    std::vector<UINT_PTR> ids;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) ids.push_back(msg.wParam);
    EXPECT_EQ(ids, (std::vector<UINT_PTR>{1, 2}));   // one tick each, however many periods passed

    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));
    KillTimer(window, 1);
    SetTimer(window, 2, 10000, nullptr);   // setting it again starts it anew
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    KillTimer(window, 2);
    SetLastError(0);
    EXPECT_FALSE(KillTimer(window, 2));
}

std::atomic<int> g_procedureTicks{0};
void CALLBACK OnTick(HWND, UINT message, UINT_PTR id, DWORD) {
    if (message == WM_TIMER && id == 4) ++g_procedureTicks;
}

TEST_F(Queue, DispatchOfATickWithAProcedureCallsIt) {
    g_procedureTicks = 0;
    SetTimer(window, 4, 10, OnTick);
    MSG msg;
    do {
        ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
        DispatchMessageA(&msg);
    } while (msg.message != WM_TIMER);
    KillTimer(window, 4);
    EXPECT_EQ(g_procedureTicks.load(), 1);
    for (const auto& r : recorder.Take()) EXPECT_NE(r.message, WM_TIMER);   // not the window's
}

TEST(RegisteredMessages, OneIdPerNameForTheWholeProcess) {
    UINT first = RegisterWindowMessageA("RwTestMessage");
    EXPECT_GE(first, 0xC000u);
    EXPECT_EQ(RegisterWindowMessageA("rwtestMESSAGE"), first);
    EXPECT_NE(RegisterWindowMessageA("RwTestOther"), first);
    SetLastError(0);
    EXPECT_EQ(RegisterWindowMessageA(""), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    constexpr int kThreads = 4;
    std::vector<UINT> ids(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&ids, i] { ids[i] = RegisterWindowMessageA("RwTestRace"); });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(std::set<UINT>(ids.begin(), ids.end()).size(), 1u);
}

}  // namespace
