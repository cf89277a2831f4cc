// ZApplication: construction, the message loop and its idle rules, message boxes, the
// application name, the single-instance check, and the entry point in processes of their own.
#include "framework/ModuleHandles.h"
#include "framework/Temporaries.h"
#include "framework/ZApplication.h"
#include "window/ZWnd.h"

#include "platform/testing.h"
#include "support/TemporaryRuntimeDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <iterator>
#include <mutex>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;

constexpr UINT NameWithLineFeedId = 9001;
constexpr UINT JapaneseNameId = 9002;
constexpr UINT TrailIsLeadByteNameId = 9003;
constexpr UINT MissingId = 9099;

const win32::rc::StringEntry kStrings[] = {
    {NameWithLineFeedId, "Name\nmore text"},
    {JapaneseNameId, "鉄道サーバ\nの説明"},
    // The second byte of 亜 (0x88 0x9F in code page 932) is itself a lead-byte value.
    {TrailIsLeadByteNameId, "亜\n後"},
};
const win32::rc::Table kTable = {.strings = kStrings, .stringCount = std::size(kStrings)};
const win32::rc::Registration kRegistration(kTable);

class TestApplication : public ZApplication {
public:
    bool InitInstance() override { return true; }
    int ExitInstance() override {
        ++exitInstanceCalls;
        return ZApplication::ExitInstance();
    }
    bool OnIdle(int idleCount) override { return onIdle ? onIdle(idleCount) : false; }
    bool PreTranslateMessage(MSG* message) override { return preTranslate ? preTranslate(message) : false; }

    void SetExitCode(int code) { exitCode = code; }
    void ClearIdleWindows() { idleWindows.clear(); }

    std::function<bool(int)> onIdle;
    std::function<bool(MSG*)> preTranslate;
    int exitInstanceCalls = 0;
};

// One application object per process: made at first use, so that the other tests of this
// executable (and their death-test children) start without one.
TestApplication& App() {
    static TestApplication app;
    return app;
}

class Probe : public ZObject {
public:
    explicit Probe(bool& deleted) : deleted(deleted) {}
    ~Probe() override { deleted = true; }
    bool IsValid() const override { return true; }

private:
    bool& deleted;
};

// A top-level window of this thread whose procedure records the messages posted to it.
class RecordingWindow {
public:
    RecordingWindow() {
        static bool registered = [] {
            WNDCLASSEXA windowClass = {};
            windowClass.cbSize = sizeof windowClass;
            windowClass.lpfnWndProc = &RecordingWindow::Procedure;
            windowClass.hInstance = GetModuleHandleA(nullptr);
            windowClass.lpszClassName = "RwTestRecording";
            return RegisterClassExA(&windowClass) != 0;
        }();
        EXPECT_TRUE(registered);
        handle = CreateWindowExA(0, "RwTestRecording", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        EXPECT_TRUE(object.Attach(handle));
        Received().clear();
    }
    ~RecordingWindow() {
        object.Detach();
        DestroyWindow(handle);
    }
    RecordingWindow(const RecordingWindow&) = delete;
    RecordingWindow& operator=(const RecordingWindow&) = delete;

    HWND Handle() const { return handle; }
    ZWnd* Object() { return &object; }
    // The application messages (WM_APP and up) dispatched to any recording window.
    static std::vector<UINT>& Received() {
        static std::vector<UINT> received;
        return received;
    }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message >= WM_APP) Received().push_back(message);
        return DefWindowProcA(window, message, wParam, lParam);
    }

    HWND handle = nullptr;
    ZWnd object;
};

// Ends a loop that blocks against expectation: after a bounded wait it posts WM_QUIT with
// TimedOut to the loop's thread, so that a faulty loop fails the test instead of hanging it.
class LoopGuard {
public:
    static constexpr int TimedOut = 99;
    LoopGuard() : loopThread(GetCurrentThreadId()) {
        guard = std::thread([this] {
            std::unique_lock lock(mutex);
            if (!wake.wait_for(lock, 10s, [this] { return done; })) {
                PostThreadMessageA(loopThread, WM_QUIT, TimedOut, 0);
            }
        });
    }
    ~LoopGuard() {
        {
            std::lock_guard lock(mutex);
            done = true;
        }
        wake.notify_all();
        guard.join();
    }

private:
    DWORD loopThread;
    std::mutex mutex;
    std::condition_variable wake;
    bool done = false;
    std::thread guard;
};

class IdleWindow : public ZWnd {
public:
    explicit IdleWindow(std::function<bool(int)> answer) : answer(std::move(answer)) {}
    bool OnIdle() override { return answer(++calls); }
    int calls = 0;

private:
    std::function<bool(int)> answer;
};

// Takes every message left in this thread's queue.
std::vector<UINT> DrainQueue() {
    std::vector<UINT> left;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) left.push_back(message.message);
    return left;
}

class ApplicationTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        RwTestResetDesktop();
        DrainQueue();
    }
    void TearDown() override {
        TestApplication& app = App();
        app.SetMainWindow(nullptr);
        app.ClearIdleWindows();
        app.onIdle = nullptr;
        app.preTranslate = nullptr;
        SetAppName("Application");
        DrainQueue();
        FlushTemporaries();
    }
};

TEST_F(ApplicationTest, ConstructionSetsHandlesNamesAndRefusesASecondObject) {
    TestApplication& app = App();
    EXPECT_EQ(GetApp(), &app);
    const HINSTANCE self = GetModuleHandleA(nullptr);
    EXPECT_EQ(app.GetHandle(), self);
    EXPECT_EQ(GetInstanceHandle(), self);
    EXPECT_EQ(GetResourceHandle(), self);
    EXPECT_FALSE(app.Attach(reinterpret_cast<HINSTANCE>(0x1000)));
    EXPECT_EQ(app.GetHandle(), self);
    EXPECT_STREQ(GetAppName(), "Application");
    // The help file is named after the program file, without directory; this one has no
    // extension, so ".hlp" is appended.
    char self_path[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self_path, sizeof self_path - 1), 0);
    EXPECT_EQ(std::string(GetHelpPath()), std::string(std::strrchr(self_path, '/') + 1) + ".hlp");
    EXPECT_EQ(g_mouseWheelMessage, 0u);   // not Windows 95

    EXPECT_THROW(TestApplication second, std::logic_error);
    EXPECT_EQ(GetApp(), &app);
}

TEST_F(ApplicationTest, RunWithoutMainWindowLeavesTheQueueAlone) {
    ZWnd withoutHandle;
    for (ZWnd* main : {static_cast<ZWnd*>(nullptr), &withoutHandle}) {
        SCOPED_TRACE(main == nullptr ? "no main window" : "main window without handle");
        TestApplication& app = App();
        app.SetMainWindow(main);
        app.SetExitCode(9);
        const int exitCalls = app.exitInstanceCalls;
        bool deleted = false;
        AddTemporary(new Probe(deleted));
        ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_APP + 1, 0, 0));
        EXPECT_EQ(app.Run(), 0);
        EXPECT_EQ(app.exitInstanceCalls, exitCalls + 1);
        EXPECT_TRUE(deleted);
        EXPECT_EQ(DrainQueue(), std::vector<UINT>{WM_APP + 1});
    }
}

TEST_F(ApplicationTest, QuitEndsTheLoopWithItsExitCode) {
    RecordingWindow window;
    TestApplication& app = App();
    app.SetMainWindow(window.Object());
    std::vector<UINT> looked;
    app.preTranslate = [&looked](MSG* message) {
        looked.push_back(message->message);
        return message->message == WM_APP + 2;   // kept from dispatch
    };
    PostMessageA(window.Handle(), WM_APP + 1, 0, 0);
    PostMessageA(window.Handle(), WM_APP + 2, 0, 0);
    PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 5, 0);
    PostMessageA(window.Handle(), WM_APP + 3, 0, 0);
    LoopGuard guard;
    EXPECT_EQ(app.Run(), 5);
    EXPECT_EQ(looked, (std::vector<UINT>{WM_APP + 1, WM_APP + 2}));
    EXPECT_EQ(RecordingWindow::Received(), std::vector<UINT>{WM_APP + 1});
    EXPECT_EQ(DrainQueue(), std::vector<UINT>{WM_APP + 3});
}

TEST_F(ApplicationTest, IdleCountRestartsAfterEveryMessage) {
    RecordingWindow window;
    TestApplication& app = App();
    app.SetMainWindow(window.Object());
    std::vector<int> counts;
    app.onIdle = [&](int count) {
        counts.push_back(count);
        if (counts.size() == 3) PostMessageA(window.Handle(), WM_APP + 1, 0, 0);
        if (counts.size() == 5) PostQuitMessage(0);
        return true;
    };
    LoopGuard guard;
    EXPECT_EQ(app.Run(), 0);
    EXPECT_EQ(counts, (std::vector<int>{0, 1, 2, 0, 1}));
    EXPECT_EQ(RecordingWindow::Received(), std::vector<UINT>{WM_APP + 1});
}

TEST_F(ApplicationTest, EveryIdleWindowIsAskedAndAnyKeepsTheLoopIdling) {
    RecordingWindow window;
    TestApplication& app = App();
    app.SetMainWindow(window.Object());
    std::vector<int> counts;
    app.onIdle = [&counts](int count) {
        counts.push_back(count);
        return false;
    };
    IdleWindow busy([](int call) { return call < 3; });
    IdleWindow removed([](int) { return true; });
    IdleWindow last([](int call) {
        if (call == 3) PostQuitMessage(0);
        return false;
    });
    app.AddIdleWindow(&busy);
    app.AddIdleWindow(&removed);
    app.AddIdleWindow(&last);
    app.RemoveIdleWindow(&removed);
    LoopGuard guard;
    EXPECT_EQ(app.Run(), 0);
    EXPECT_EQ(counts, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(busy.calls, 3);
    EXPECT_EQ(last.calls, 3);
    EXPECT_EQ(removed.calls, 0);
}

// Counts the passes of a message loop: each pass ends with FlushTemporaries, and each link of
// the chain, when deleted there, hands the next link over for the next pass.
class PassCounter : public ZObject {
public:
    PassCounter(std::atomic<int>& passes, std::atomic<bool>& armed) : passes(passes), armed(armed) {}
    ~PassCounter() override {
        ++passes;
        if (armed) AddTemporary(new PassCounter(passes, armed));
    }
    bool IsValid() const override { return true; }

private:
    std::atomic<int>& passes;
    std::atomic<bool>& armed;
};

TEST_F(ApplicationTest, LoopSleepsWhenIdleWorkIsDoneAndWakesForAMessage) {
    RecordingWindow window;
    TestApplication& app = App();
    app.SetMainWindow(window.Object());
    std::mutex mutex;
    std::condition_variable changed;
    int idleCalls = 0;
    std::vector<int> counts;
    app.onIdle = [&](int count) {
        std::lock_guard lock(mutex);
        counts.push_back(count);
        ++idleCalls;
        changed.notify_all();
        return false;
    };
    std::atomic<int> passes{0};
    std::atomic<bool> armed{true};
    AddTemporary(new PassCounter(passes, armed));
    const DWORD loopThreadId = GetCurrentThreadId();
    const HWND target = window.Handle();
    int passesWhileBlocked = -1;
    int idleCallsWhileBlocked = -1;
    std::thread poster([&] {
        std::unique_lock lock(mutex);
        if (!changed.wait_for(lock, 10s, [&] { return idleCalls == 1; })) return;
        // Idle work is over; for the next 300 ms the loop has nothing to do and must sleep. The
        // span is the measurement, not a synchronisation: a polling loop makes thousands of
        // passes in it even on a busy machine.
        const int before = passes;
        changed.wait_for(lock, 300ms, [] { return false; });
        passesWhileBlocked = passes - before;
        idleCallsWhileBlocked = idleCalls;
        PostMessageA(target, WM_APP + 1, 0, 0);
        if (!changed.wait_for(lock, 10s, [&] { return idleCalls == 2; })) return;
        PostThreadMessageA(loopThreadId, WM_QUIT, 7, 0);
    });
    {
        LoopGuard guard;
        EXPECT_EQ(app.Run(), 7);
    }
    poster.join();
    armed = false;
    FlushTemporaries();
    // The pass that ran OnIdle ends after the count was taken, and the next one sleeps.
    EXPECT_LE(passesWhileBlocked, 1);
    EXPECT_EQ(idleCallsWhileBlocked, 1);
    EXPECT_EQ(counts, (std::vector<int>{0, 0}));
    EXPECT_EQ(RecordingWindow::Received(), std::vector<UINT>{WM_APP + 1});
}

TEST_F(ApplicationTest, ShowMessageAddsTaskModalAndForegroundAndTakesTheNameAsCaption) {
    SetAppName("Caption");
    struct Case {
        const char* text;
        UINT flags;
        const char* shownText;
        UINT shownType;
    };
    const Case cases[] = {
        {nullptr, MB_OK, "", 0x12000},
        {"Stop", MB_ICONHAND | MB_YESNO, "Stop", 0x12014},
        {"Again", MB_TASKMODAL, "Again", 0x12000},
    };
    for (const Case& c : cases) {
        RwTestResetMessageBoxes();
        RwTestQueueMessageBoxAnswer(IDNO);
        EXPECT_EQ(ShowMessage(c.text, c.flags), IDNO);
        auto boxes = RwTestMessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].owner, nullptr);
        EXPECT_EQ(boxes[0].caption, "Caption");
        EXPECT_EQ(boxes[0].text, c.shownText);
        EXPECT_EQ(boxes[0].type, c.shownType);
    }
}

TEST_F(ApplicationTest, ShowMessageGoesThroughTheMainWindow) {
    RecordingWindow window;
    App().SetMainWindow(window.Object());
    SetAppName("Caption");
    ShowMessage("Owned", MB_OK);
    auto boxes = RwTestMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, window.Handle());
    EXPECT_EQ(boxes[0].caption, "Caption");
    EXPECT_EQ(boxes[0].text, "Owned");
    EXPECT_EQ(boxes[0].type, 0x12000u);
}

TEST_F(ApplicationTest, ShowResourceMessageIsAWarningWithTheTableText) {
    struct Case {
        UINT id;
        std::string text;
    };
    const Case cases[] = {{103, std::string(ZString(103u))}, {MissingId, ""}};
    ASSERT_FALSE(cases[0].text.empty());
    for (const Case& c : cases) {
        RwTestResetMessageBoxes();
        EXPECT_EQ(ShowResourceMessage(c.id), IDOK);
        auto boxes = RwTestMessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, "Application");
        EXPECT_EQ(boxes[0].text, c.text);
        EXPECT_EQ(boxes[0].type, MB_ICONEXCLAMATION | 0x12000u);
    }
}

TEST_F(ApplicationTest, LoadAppNameCutsAtTheFirstLineFeed) {
    struct Case {
        UINT id;
        const char* name;   // in code page 932
    };
    const Case cases[] = {
        {NameWithLineFeedId, "Name"},
        {JapaneseNameId, "\x93\x53\x93\xb9\x83\x54\x81\x5b\x83\x6f"},
        {TrailIsLeadByteNameId, "\x88\x9f"},
    };
    for (const Case& c : cases) {
        SetAppName("Application");
        EXPECT_TRUE(App().LoadAppName(c.id));
        EXPECT_STREQ(GetAppName(), c.name) << c.id;
    }
    EXPECT_TRUE(App().LoadAppName(MissingId));
    EXPECT_STREQ(GetAppName(), "\x88\x9f");   // kept
}

TEST_F(ApplicationTest, CheckPrevInstanceRemembersItsFirstAnswer) {
    TestApplication& app = App();
    {
        // Without a directory for its lock file the mutex cannot be made: the test reports that
        // another instance may exist.
        rwtest::TemporaryRuntimeDir runtime;
        setenv("XDG_RUNTIME_DIR", "/nonexistent/rw-runtime", 1);
        EXPECT_TRUE(app.CheckPrevInstance("rw-app-test"));
        auto boxes = RwTestMessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "ZApplication::CheckPrevInstance() failed...");
        EXPECT_EQ(boxes[0].type, MB_ICONHAND | 0x12000u);
    }
    rwtest::TemporaryRuntimeDir runtime;
    ASSERT_TRUE(runtime.Made());
    EXPECT_FALSE(app.CheckPrevInstance("rw-app-test"));
    // A second CreateMutexA of the name would find this process's own handle and answer true.
    EXPECT_FALSE(app.CheckPrevInstance("rw-app-test"));
    EXPECT_FALSE(g_prevInstanceFound);
}

// The program of tests/framework/programs, run with extra environment variables.
class Program {
public:
    explicit Program(const std::vector<std::string>& environment, const char* path = RW_APPLICATION_PROGRAM) {
        int in[2], out[2], err[2];
        if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) posix_spawn_file_actions_addclose(&actions, fd);
        std::vector<std::string> strings;
        for (char** e = environ; *e != nullptr; ++e) strings.emplace_back(*e);
        strings.insert(strings.end(), environment.begin(), environment.end());
        std::vector<char*> envp;
        for (std::string& s : strings) envp.push_back(s.data());
        envp.push_back(nullptr);
        char* argv[] = {const_cast<char*>(path), nullptr};
        if (posix_spawn(&pid, path, &actions, nullptr, argv, envp.data()) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        close(err[1]);
        input = in[1];
        output = fdopen(out[0], "r");
        errors = err[0];
    }
    ~Program() {
        CloseInput();
        if (pid > 0) Wait();
        if (output != nullptr) fclose(output);
        if (errors >= 0) close(errors);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return pid > 0; }
    // The next line of standard output without its line end; empty at the end.
    std::string ReadLine() {
        char line[4096];
        if (output == nullptr || std::fgets(line, sizeof line, output) == nullptr) return "";
        std::string text(line);
        if (!text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }
    void CloseInput() {
        if (input >= 0) close(input);
        input = -1;
    }
    void Kill() { kill(pid, SIGKILL); }
    // The exit code, or -1 when the process did not exit normally.
    int Wait() {
        int status = 0;
        pid_t waited;
        do waited = waitpid(pid, &status, 0); while (waited < 0 && errno == EINTR);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Errors() {
        std::string text;
        char buffer[1024];
        ssize_t got;
        while ((got = read(errors, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(got));
        return text;
    }

private:
    pid_t pid = -1;
    int input = -1;
    FILE* output = nullptr;
    int errors = -1;
};

TEST(ApplicationProgram, EntryWithoutApplicationShowsTheErrorAndExitsZero) {
    Program program({"RW_TEST_NO_APP=1"});
    ASSERT_TRUE(program.Started());
    program.CloseInput();
    EXPECT_EQ(program.ReadLine(), "");
    EXPECT_EQ(program.Wait(), 0);
    const std::string shown = program.Errors();
    EXPECT_NE(shown.find("VoDE Error"), std::string::npos) << shown;
    EXPECT_NE(shown.find("No ZApplication exists!"), std::string::npos) << shown;
}

TEST(ApplicationProgram, ExitCodeIsWhatRunReturns) {
    struct Case {
        const char* mode;
        std::vector<std::string> lines;
        int exitCode;
    };
    const Case cases[] = {
        {"RW_TEST_MODE=initfails", {}, 0},          // Run is not called
        {"RW_TEST_MODE=none", {"ExitInstance"}, 0},  // no main window
        {"RW_TEST_MODE=quit", {"ExitInstance"}, 5},  // the quit message's code
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        Program program({c.mode});
        ASSERT_TRUE(program.Started());
        std::vector<std::string> lines;
        for (std::string line = program.ReadLine(); !line.empty(); line = program.ReadLine()) lines.push_back(line);
        EXPECT_EQ(lines, c.lines);
        EXPECT_EQ(program.Wait(), c.exitCode);
        EXPECT_EQ(program.Errors(), "");
    }
}

TEST(ApplicationProgram, HelpPathReplacesTheProgramExtension) {
    char directory[] = "/tmp/rw-app-program-XXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    const std::string copy = std::string(directory) + "/RwServer.exe";
    ASSERT_EQ(std::system(("cp '" RW_APPLICATION_PROGRAM "' '" + copy + "'").c_str()), 0);
    {
        Program program({"RW_TEST_MODE=helppath"}, copy.c_str());
        ASSERT_TRUE(program.Started());
        EXPECT_EQ(program.ReadLine(), "RwServer.hlp");
        EXPECT_EQ(program.Wait(), 0);
    }
    std::system(("rm -rf '" + std::string(directory) + "'").c_str());
}

TEST(ApplicationProgram, WindowsNinetyFiveRegistersTheWheelMessage) {
    Program program({"RW_TEST_MODE=wheel"});
    ASSERT_TRUE(program.Started());
    EXPECT_EQ(program.ReadLine(), "wheel=registered");
    EXPECT_EQ(program.Wait(), 0);
}

TEST(ApplicationProgram, OnlyTheFirstCopyFindsNoPreviousInstance) {
    rwtest::TemporaryRuntimeDir runtime;
    ASSERT_TRUE(runtime.Made());
    const std::vector<std::string> copy = {"RW_TEST_MODE=prev", "RW_TEST_MUTEX=rwsvr_ro100_mainwndclass"};
    std::vector<std::string> holding = copy;
    holding.push_back("RW_TEST_HOLD=1");

    for (bool endsNormally : {true, false}) {
        SCOPED_TRACE(endsNormally ? "first copy ends normally" : "first copy is killed");
        Program first(holding);
        ASSERT_TRUE(first.Started());
        ASSERT_EQ(first.ReadLine(), "prev=0");
        for (int later = 0; later < 2; ++later) {
            Program second(copy);
            ASSERT_TRUE(second.Started());
            EXPECT_EQ(second.ReadLine(), "prev=1");
            EXPECT_EQ(second.Wait(), 0);
            EXPECT_EQ(second.Errors(), "");   // nothing is shown
        }
        if (endsNormally) {
            first.CloseInput();
            EXPECT_EQ(first.Wait(), 0);
        } else {
            first.Kill();
            EXPECT_EQ(first.Wait(), -1);
        }
        Program next(copy);
        ASSERT_TRUE(next.Started());
        EXPECT_EQ(next.ReadLine(), "prev=0");
        EXPECT_EQ(next.Wait(), 0);
    }
}

}  // namespace
