// A window class whose procedure records every message it receives, for tests that compare the
// recorded messages with a table of the expected sequence.
#pragma once

#include "platform/win32.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace rwtest {

struct Received {
    HWND window;
    UINT message;
    bool operator==(const Received& other) const = default;
};

// Records on the thread that uses it; windows of the class are used by that thread alone.
class MessageRecorder {
public:
    MessageRecorder() {
        current = this;
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &MessageRecorder::Procedure;
        windowClass.cbWndExtra = 8;
        windowClass.hInstance = Instance();
        windowClass.lpszClassName = kClass;
        RegisterClassExA(&windowClass);   // once per process; later calls find it there
    }
    ~MessageRecorder() { current = nullptr; }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    static constexpr const char* kClass = "RwTestRecorder";
    static HINSTANCE Instance() { return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(0x5000)); }

    HWND Create(HWND parent = nullptr, DWORD style = 0, int id = 0, const char* text = "") {
        return CreateWindowExA(0, kClass, text, style | (parent ? WS_CHILD : 0), 10, 20, 100, 50, parent,
                               reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), Instance(), nullptr);
    }

    // The messages received since the last Take, without those the test does not look at.
    std::vector<Received> Take() {
        std::vector<Received> taken;
        for (const Received& r : log) {
            if (r.message != WM_GETTEXT && r.message != WM_GETTEXTLENGTH && r.message != WM_SETTEXT) taken.push_back(r);
        }
        log.clear();
        return taken;
    }

    // The answer to a message instead of DefWindowProcA's.
    std::map<UINT, LRESULT> answers;
    // Called for every message before it is answered.
    std::function<void(HWND, UINT, WPARAM, LPARAM)> onMessage;
    std::vector<Received> log;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        MessageRecorder* self = current;
        if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
        self->log.push_back({window, message});
        if (self->onMessage) self->onMessage(window, message, wParam, lParam);
        auto it = self->answers.find(message);
        if (it != self->answers.end()) return it->second;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    static inline thread_local MessageRecorder* current = nullptr;
};

}  // namespace rwtest
