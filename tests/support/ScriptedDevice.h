// A LocoNet device for gateway tests: messages "from the bus" are injected by the test (at once
// or after a delay); written messages are recorded and, depending on the mode, echoed back,
// refused or swallowed. ReadMessage blocks event-driven until a message is due or the device
// is made to fail.
#pragma once

#include "gateway/ZAbstractLoconetDevice.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

namespace rwtest {

class ScriptedDevice : public ZAbstractLoconetDevice {
public:
    enum class Mode { Echo, Silent, Refuse };
    using Bytes = std::vector<BYTE>;
    using Clock = std::chrono::steady_clock;

    void SetMode(Mode mode, std::chrono::milliseconds echoDelay = std::chrono::milliseconds(0)) {
        std::lock_guard guard(lock);
        this->mode = mode;
        this->echoDelay = echoDelay;
    }

    // A message from the bus, delivered after the delay.
    void Inject(const Bytes& bytes, std::chrono::milliseconds delay = std::chrono::milliseconds(0)) {
        std::lock_guard guard(lock);
        Queue(bytes, Clock::now() + delay);
    }

    // Makes every ReadMessage return -1 from now on.
    void Fail() {
        std::lock_guard guard(lock);
        failed = true;
        changed.notify_all();
    }

    std::vector<Bytes> Written() {
        std::lock_guard guard(lock);
        return written;
    }

    // Messages read by the gateway so far.
    size_t Delivered() {
        std::lock_guard guard(lock);
        return delivered;
    }

    int ReadMessage(BYTE* buffer, DWORD capacity) override {
        std::unique_lock guard(lock);
        for (;;) {
            if (failed) return -1;
            if (!queue.empty() && queue.front().due <= Clock::now()) {
                Bytes bytes = queue.front().bytes;
                if (bytes.size() > capacity) return -1;
                queue.pop_front();
                Clock::time_point now = Clock::now();
                if (delivered > 0) longestReadGap = std::max(longestReadGap, now - lastDelivery);
                lastDelivery = now;
                ++delivered;
                changed.notify_all();
                std::memcpy(buffer, bytes.data(), bytes.size());
                return static_cast<int>(bytes.size());
            }
            if (queue.empty())
                changed.wait(guard);
            else
                changed.wait_until(guard, queue.front().due);
        }
    }

    bool WriteMessage(const BYTE* bytes, DWORD length) override {
        std::lock_guard guard(lock);
        if (mode == Mode::Refuse) return false;
        Bytes message(bytes, bytes + length);
        written.push_back(message);
        if (mode == Mode::Echo) Queue(message, Clock::now() + echoDelay);
        return true;
    }

    // The longest time between two messages read by the gateway: how long the bus was not
    // served, e.g. while a broadcast waited for a client.
    Clock::duration LongestReadGap() {
        std::lock_guard guard(lock);
        return longestReadGap;
    }

    // Waits until the gateway has read every message queued so far.
    bool WaitUntilDrained(std::chrono::milliseconds bound = std::chrono::milliseconds(30000)) {
        std::unique_lock guard(lock);
        return changed.wait_for(guard, bound, [this] { return queue.empty(); });
    }

private:
    struct Entry {
        Bytes bytes;
        Clock::time_point due;
    };

    void Queue(const Bytes& bytes, Clock::time_point due) {
        auto at = std::upper_bound(queue.begin(), queue.end(), due,
                                   [](Clock::time_point t, const Entry& e) { return t < e.due; });
        queue.insert(at, Entry{bytes, due});
        changed.notify_all();
    }

    std::mutex lock;
    std::condition_variable changed;
    std::deque<Entry> queue;
    std::vector<Bytes> written;
    size_t delivered = 0;
    Clock::time_point lastDelivery;
    Clock::duration longestReadGap{0};
    Mode mode = Mode::Echo;
    std::chrono::milliseconds echoDelay{0};
    bool failed = false;
};

}  // namespace rwtest
