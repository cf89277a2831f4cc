// Per-thread message queues, timers and registered messages.
//
// Each thread that needs one has a queue: posted messages in order, the quit request and the
// timers of its windows. Any thread may post; only the owner looks at its queue. A look takes,
// in this order, the first posted message that passes the filters, the quit request, a paint
// request of one of the thread's windows, and a due timer. The queue's wake flag is raised by
// everything that arrives from outside (a post, an invalidation from another thread) and lowered
// at every look; a waiting owner polls it with the timeout of its next due timer, so a post
// between the look and the poll is never missed and no wait spins or sleeps.
#include "platform/win32.h"
#include "platform/posix/detail/kernel_object.h"
#include "platform/posix/detail/window_manager.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <poll.h>
#include <string>
#include <unordered_map>
#include <vector>

namespace win32::detail {

namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
    HWND window;
    UINT_PTR id;
    std::chrono::milliseconds period;
    Clock::time_point due;
    TIMERPROC procedure;
};

struct Queue {
    explicit Queue(DWORD thread) : thread(thread) {}
    Queue(const Queue&) = delete;
    Queue& operator=(const Queue&) = delete;

    const DWORD thread;
    std::mutex lock;
    std::deque<MSG> posted;
    bool quit = false;
    int quitCode = 0;
    PollableFlag wake;
    std::vector<Timer> timers;
};

struct Queues {
    std::mutex lock;
    std::unordered_map<DWORD, std::shared_ptr<Queue>> byThread;
};

Queues& TheQueues() {
    static Queues* queues = new Queues;   // never destroyed, like the window table
    return *queues;
}

std::shared_ptr<Queue> QueueOf(DWORD thread) {
    Queues& queues = TheQueues();
    std::lock_guard guard(queues.lock);
    auto it = queues.byThread.find(thread);
    return it == queues.byThread.end() ? nullptr : it->second;
}

// Owns the calling thread's queue; at the end of the thread the queue and its windows go.
struct QueueHolder {
    std::shared_ptr<Queue> queue;
    ~QueueHolder() {
        if (!queue) return;
        {
            Queues& queues = TheQueues();
            std::lock_guard guard(queues.lock);
            queues.byThread.erase(queue->thread);
        }
        ForgetThreadWindows(queue->thread);
    }
};

thread_local QueueHolder t_queue;

Queue& OwnQueue() {
    if (!t_queue.queue) {
        DWORD thread = GetCurrentThreadId();
        auto queue = std::make_shared<Queue>(thread);
        {
            Queues& queues = TheQueues();
            std::lock_guard guard(queues.lock);
            queues.byThread[thread] = queue;
        }
        t_queue.queue = std::move(queue);
    }
    return *t_queue.queue;
}

DWORD TickCount() {
    return static_cast<DWORD>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
}

bool InRange(UINT message, UINT filterMin, UINT filterMax) {
    return (filterMin == 0 && filterMax == 0) || (message >= filterMin && message <= filterMax);
}

// The window filter: every message, messages of the thread only (HWND -1), or those of a
// window and its descendants.
struct Filter {
    HWND window;
    std::vector<HWND> windows;
    UINT min;
    UINT max;

    bool Passes(HWND target) const {
        if (window == nullptr) return true;
        if (window == reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1))) return target == nullptr;
        return std::find(windows.begin(), windows.end(), target) != windows.end();
    }
};

Filter MakeFilter(HWND window, UINT filterMin, UINT filterMax) {
    Filter filter{window, {}, filterMin, filterMax};
    if (window != nullptr && window != reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1))) {
        filter.windows = WindowAndDescendants(window);
    }
    return filter;
}

MSG Make(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = TickCount();
    return msg;
}

// One look at the queue; true with the message when there is one.
bool Look(Queue& queue, const Filter& filter, bool remove, MSG& out) {
    {
        std::lock_guard guard(queue.lock);
        queue.wake.Lower();
        for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
            if (!filter.Passes(it->hwnd) || !InRange(it->message, filter.min, filter.max)) continue;
            out = *it;
            if (remove) queue.posted.erase(it);
            return true;
        }
        if (queue.quit) {
            out = Make(nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0);
            if (remove) queue.quit = false;
            return true;
        }
    }
    // A window filter whose window is gone matches no window, not all of them.
    bool anyWindow = filter.window == nullptr || !filter.windows.empty();
    if (InRange(WM_PAINT, filter.min, filter.max) && anyWindow) {
        if (HWND invalid = FirstInvalidWindow(queue.thread, filter.windows)) {
            out = Make(invalid, WM_PAINT, 0, 0);
            return true;
        }
    }
    if (InRange(WM_TIMER, filter.min, filter.max)) {
        std::lock_guard guard(queue.lock);
        Clock::time_point now = Clock::now();
        for (Timer& timer : queue.timers) {
            if (timer.due > now || !filter.Passes(timer.window)) continue;
            out = Make(timer.window, WM_TIMER, timer.id, reinterpret_cast<LPARAM>(timer.procedure));
            // The next tick is a whole period after this one is taken: the period is the least
            // time between two ticks, and ticks missed meanwhile fold into this one.
            if (remove) timer.due = now + timer.period;
            return true;
        }
    }
    return false;
}

std::optional<Clock::time_point> NextTimer(Queue& queue, const Filter& filter) {
    if (!InRange(WM_TIMER, filter.min, filter.max)) return std::nullopt;
    std::lock_guard guard(queue.lock);
    std::optional<Clock::time_point> next;
    for (const Timer& timer : queue.timers) {
        if (filter.Passes(timer.window) && (!next || timer.due < *next)) next = timer.due;
    }
    return next;
}

// Blocks until something arrives from outside or the time point has passed.
void WaitForArrival(Queue& queue, std::optional<Clock::time_point> until) {
    int timeout = -1;
    if (until) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(*until - Clock::now()).count();
        if (left <= 0) return;
        timeout = static_cast<int>(std::min<long long>(left, 1 << 30));
    }
    pollfd fd{queue.wake.Fd(), POLLIN, 0};
    int ready = poll(&fd, 1, timeout);
    RW_CHECK(ready >= 0 || errno == EINTR);
}

// The calling thread's queue as an object of the kernel's wait: signalled while a message is
// there for the thread.
class QueueSignal : public KernelObject {
public:
    explicit QueueSignal(Queue& queue) : queue(queue) {}
    bool TryAcquire() override {
        MSG ignored;
        return Look(queue, Filter{nullptr, {}, 0, 0}, false, ignored);
    }
    int SignalFd() const override { return queue.wake.Fd(); }

private:
    Queue& queue;
};

struct Atoms {
    std::mutex lock;
    std::vector<std::string> names;   // the name of atom 0xC000 + index
};

bool Post(Queue& queue, const MSG& msg) {
    std::lock_guard guard(queue.lock);
    queue.posted.push_back(msg);
    queue.wake.Raise();
    return true;
}

}  // namespace

void EnsureQueue() { OwnQueue(); }

void WakeQueue(DWORD thread) {
    if (auto queue = QueueOf(thread)) {
        std::lock_guard guard(queue->lock);
        queue->wake.Raise();
    }
}

void ForgetWindowMessages(DWORD thread, HWND window) {
    auto queue = QueueOf(thread);
    if (!queue) return;
    std::lock_guard guard(queue->lock);
    auto& posted = queue->posted;
    posted.erase(std::remove_if(posted.begin(), posted.end(), [&](const MSG& m) { return m.hwnd == window; }),
                 posted.end());
    auto& timers = queue->timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.window == window; }),
                 timers.end());
}

ATOM NameAtom(const char* name) {
    static Atoms* atoms = new Atoms;   // never destroyed: any thread may register at any time
    std::lock_guard guard(atoms->lock);
    for (std::size_t i = 0; i < atoms->names.size(); ++i) {
        if (SameName(atoms->names[i], name)) return static_cast<ATOM>(0xC000 + i);
    }
    RW_CHECK(atoms->names.size() < 0x4000);
    atoms->names.emplace_back(name);
    return static_cast<ATOM>(0xC000 + atoms->names.size() - 1);
}

}  // namespace win32::detail

namespace win32 {

using namespace detail;

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window == nullptr) return Post(OwnQueue(), Make(nullptr, message, wParam, lParam)) ? TRUE : FALSE;
    DWORD thread = WindowThread(window);
    std::shared_ptr<Queue> queue = thread != 0 ? QueueOf(thread) : nullptr;
    if (!queue) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return Post(*queue, Make(window, message, wParam, lParam)) ? TRUE : FALSE;
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<Queue> queue = QueueOf(threadId);
    if (!queue) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    return Post(*queue, Make(nullptr, message, wParam, lParam)) ? TRUE : FALSE;
}

void PostQuitMessage(int exitCode) {
    Queue& queue = OwnQueue();
    std::lock_guard guard(queue.lock);
    queue.quit = true;
    queue.quitCode = exitCode;
}

BOOL GetMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax) {
    if (message == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (window != nullptr && window != reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1)) &&
        WindowThread(window) != GetCurrentThreadId()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    Queue& queue = OwnQueue();
    for (;;) {
        Filter filter = MakeFilter(window, filterMin, filterMax);
        if (Look(queue, filter, true, *message)) return message->message == WM_QUIT ? FALSE : TRUE;
        WaitForArrival(queue, NextTimer(queue, filter));
    }
}

BOOL PeekMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (message == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    MSG found{};
    if (!Look(OwnQueue(), MakeFilter(window, filterMin, filterMax), (removeFlags & PM_REMOVE) != 0, found)) {
        return FALSE;
    }
    *message = found;
    return TRUE;
}

BOOL WaitMessage() {
    Queue& queue = OwnQueue();
    Filter all{nullptr, {}, 0, 0};
    {
        std::lock_guard guard(queue.lock);
        if (queue.wake.IsRaised()) return TRUE;   // arrived since the last look
    }
    std::optional<Clock::time_point> next = NextTimer(queue, all);
    if (FirstInvalidWindow(queue.thread, {}) != nullptr || (next && *next <= Clock::now())) return TRUE;
    WaitForArrival(queue, next);
    return TRUE;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageA(const MSG* message) {
    if (message == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (message->message == WM_TIMER && message->lParam != 0) {
        auto procedure = reinterpret_cast<TIMERPROC>(message->lParam);
        procedure(message->hwnd, WM_TIMER, message->wParam, TickCount());
        return 0;
    }
    if (message->hwnd == nullptr) return 0;
    DWORD thread = WindowThread(message->hwnd);
    if (thread == 0) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (thread != GetCurrentThreadId()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    return SendMessageA(message->hwnd, message->message, message->wParam, message->lParam);
}

BOOL IsDialogMessageA(HWND, LPMSG) { return FALSE; }

UINT RegisterWindowMessageA(LPCSTR name) {
    if (name == nullptr || *name == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return NameAtom(name);
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds, DWORD) {
    if (count >= MAXIMUM_WAIT_OBJECTS || (count > 0 && handles == nullptr) || waitAll) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::shared_ptr<KernelObject> objects[MAXIMUM_WAIT_OBJECTS];
    if (!LookupWaitables(handles, count, objects)) return WAIT_FAILED;
    Queue& queue = OwnQueue();
    objects[count] = std::make_shared<QueueSignal>(queue);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        // The kernel's wait knows nothing of timers: it is woken when the next one is due, and
        // the queue object then finds the tick.
        std::optional<Clock::time_point> until = NextTimer(queue, Filter{nullptr, {}, 0, 0});
        if (milliseconds != INFINITE && (!until || deadline < *until)) until = deadline;
        DWORD wait = INFINITE;
        if (until) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(*until - Clock::now()).count();
            wait = static_cast<DWORD>(std::clamp<long long>(left, 0, INFINITE - 1));
        }
        DWORD result = WaitForObjects(objects, count + 1, wait);
        if (result != WAIT_TIMEOUT) return result;
        if (milliseconds != INFINITE && Clock::now() >= deadline) return WAIT_TIMEOUT;
    }
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC timerProc) {
    DWORD thread = WindowThread(window);
    if (thread == 0) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (thread != GetCurrentThreadId()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    // Windows raises periods below 10 ms to 10 ms.
    std::chrono::milliseconds period(std::max<UINT>(elapse, 10));
    Queue& queue = OwnQueue();
    std::lock_guard guard(queue.lock);
    Timer timer{window, id, period, Clock::now() + period, timerProc};
    for (Timer& existing : queue.timers) {
        if (existing.window == window && existing.id == id) {
            existing = timer;   // starts again from now, and a pending tick is gone
            return id;
        }
    }
    queue.timers.push_back(timer);
    return id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    Queue& queue = OwnQueue();
    std::lock_guard guard(queue.lock);
    auto& timers = queue.timers;
    auto it = std::find_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.window == window && t.id == id; });
    if (it == timers.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    timers.erase(it);
    return TRUE;
}

}  // namespace win32
