// Message boxes and beeps of the simulated desktop.
//
// A box is one block on standard error, in UTF-8, and is recorded for tests. Texts shown to a
// person must never lose characters silently: a byte sequence that is not valid in the ANSI code
// page shows as U+FFFD, one per bad byte or unassigned pair, and the text around it is kept
// whole. One lock guards the records and the queued answers; it is never held while writing or
// while a test's callback runs.
#include "platform/win32.h"
#include "platform/testing.h"
#include "platform/posix/detail/codepage.h"

#include <cstdio>
#include <deque>
#include <mutex>
#include <utility>

namespace win32 {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";   // U+FFFD in UTF-8

struct Answer {
    int button;
    std::function<void()> whileOpen;
};

struct DialogState {
    std::mutex lock;
    std::vector<RwTestMessageBox> boxes;
    std::deque<Answer> answers;
    std::vector<UINT> beeps;
};

DialogState& State() {
    // Never destroyed: a thread may show a box while the process ends.
    static DialogState* state = new DialogState;
    return *state;
}

// Trail bytes of code page 932, the only double-byte code page that IsDBCSLeadByte knows.
bool IsTrailByte(BYTE byte) { return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC); }

// Converts character by character, so that one bad character cannot take its neighbours with
// it: a lead byte whose next byte is no trail byte is bad on its own, and the next byte is
// converted by itself.
std::string AnsiToUtf8ForDisplay(const std::string& ansi) {
    std::string shown;
    for (std::size_t at = 0; at < ansi.size();) {
        const BYTE byte = static_cast<BYTE>(ansi[at]);
        if (byte < 0x80) {
            shown += static_cast<char>(byte);
            ++at;
            continue;
        }
        std::size_t width = 1;
        if (IsDBCSLeadByte(byte)) {
            if (at + 1 >= ansi.size() || !IsTrailByte(static_cast<BYTE>(ansi[at + 1]))) {
                shown += kReplacement;
                ++at;
                continue;
            }
            width = 2;
        }
        // The character is not "?", so "?" from the conversion means it has no Unicode form.
        std::string converted = detail::AnsiToUtf8(ansi.substr(at, width));
        shown += converted == "?" ? std::string(kReplacement) : converted;
        at += width;
    }
    return shown;
}

// The first button of the box, which is what pressing Enter answers.
int DefaultButton(UINT type) { return (type & 0x0F) == MB_YESNO ? IDYES : IDOK; }

}  // namespace

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    RwTestMessageBox box{owner, caption != nullptr ? caption : "Error", text != nullptr ? text : "", type, {}};
    box.shown = "[" + AnsiToUtf8ForDisplay(box.caption) + "] " + AnsiToUtf8ForDisplay(box.text) + "\n";
    Answer answer{DefaultButton(type), {}};
    DialogState& state = State();
    {
        std::lock_guard guard(state.lock);
        state.boxes.push_back(box);
        if (!state.answers.empty()) {
            answer = std::move(state.answers.front());
            state.answers.pop_front();
        }
    }
    // One write, so that the block is not interleaved with other output.
    std::fwrite(box.shown.data(), 1, box.shown.size(), stderr);
    std::fflush(stderr);
    if (answer.whileOpen) answer.whileOpen();
    return answer.button;
}

BOOL MessageBeep(UINT type) {
    DialogState& state = State();
    std::lock_guard guard(state.lock);
    state.beeps.push_back(type);
    return TRUE;
}

}  // namespace win32

std::vector<RwTestMessageBox> RwTestMessageBoxes() {
    win32::DialogState& state = win32::State();
    std::lock_guard guard(state.lock);
    return state.boxes;
}

void RwTestQueueMessageBoxAnswer(int answer, std::function<void()> whileOpen) {
    win32::DialogState& state = win32::State();
    std::lock_guard guard(state.lock);
    state.answers.push_back({answer, std::move(whileOpen)});
}

std::vector<win32::UINT> RwTestBeeps() {
    win32::DialogState& state = win32::State();
    std::lock_guard guard(state.lock);
    return state.beeps;
}

void RwTestResetMessageBoxes() {
    win32::DialogState& state = win32::State();
    std::deque<win32::Answer> dropped;
    {
        std::lock_guard guard(state.lock);
        state.boxes.clear();
        state.beeps.clear();
        dropped.swap(state.answers);   // a test's callbacks are destroyed outside the lock
    }
}
