// The tools library's dialogs, driven at a pseudo-terminal as a person would: keep, change,
// refuse bad input, cancel, no terminal, a failed write, and messages dispatched meanwhile.
#include "TerminalChild.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <sys/stat.h>

namespace {

// One step: wait until the terminal shows the text, then type the keys.
struct Step {
    const char* waitFor;
    const char* keys;
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/rw-dialog-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
        path = directory + "/Railwick.ini";
        Fresh();
    }
    void TearDown() override {
        chmod(directory.c_str(), 0700);
        std::system(("rm -rf '" + directory + "'").c_str());
    }

    void Put(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    std::string Get() const {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::set<std::string> Entries() const {
        std::set<std::string> names;
        if (DIR* folder = opendir(directory.c_str())) {
            while (dirent* entry = readdir(folder)) names.insert(entry->d_name);
            closedir(folder);
        }
        names.erase(".");
        names.erase("..");
        return names;
    }

    // Starts the driver with the options and the dialog; the settings file is the test's own and
    // COM numbers open their default devices, except COM3.
    void Start(std::vector<std::string> arguments, bool withTerminal = true) {
        ASSERT_TRUE(child->Start(RW_DIALOG_DRIVER, std::move(arguments),
                                {{"RW_SETTINGS", path}, {"RW_COM1", ""}, {"RW_COM2", ""}, {"RW_COM3", "/dev/rw-loco"}},
                                withTerminal));
    }
    void Play(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            ASSERT_TRUE(child->WaitFor(step.waitFor)) << "waiting for " << step.waitFor << "\n" << child->Screen();
            ASSERT_TRUE(child->Send(step.keys));
        }
    }
    // The dialog's result; the driver must have ended cleanly.
    int Result() {
        EXPECT_EQ(child->Wait(), 0) << child->Screen();
        std::size_t at = child->Report().find("result=");
        return at == std::string::npos ? -1 : std::atoi(child->Report().c_str() + at + 7);
    }

    // A new terminal and no child, for the next session.
    void Fresh() {
        child = std::make_unique<rwtest::TerminalChild>();
        ASSERT_TRUE(child->Ok());
    }

    std::unique_ptr<rwtest::TerminalChild> child;
    std::string directory;
    std::string path;
};

constexpr const char* kCom = "COMポート番号";
constexpr const char* kTcp = "TCPポート番号";
constexpr const char* kDontShow = "表示しない (";
constexpr const char* kSave = "保存しますか? [Y/n]";

const std::string kOthers = "; kept\n[Other]\nName=x\n\n";

struct SessionCase {
    const char* what;
    const char* dialog;
    std::string before;   // empty: no file
    std::vector<Step> steps;
    std::string after;
    std::vector<const char*> shown;   // texts the terminal must have shown
};

const SessionCase kSessions[] = {
    {"no file: Enter keeps the defaults",
     "server",
     "",
     {{kCom, "\r"}, {kTcp, "\r"}, {kDontShow, "\r"}, {kSave, "y\r"}},
     "[Server]\nComPort=1\nTCPPort=9851\nDontShowDlgNext=0\n",
     {"[1: /dev/ttyS0]", "[9851]", "設定を保存しました: "}},
    {"Enter keeps the values and the rest of the file",
     "server",
     kOthers + "[Server]\nComPort=2\nTCPPort=9000\nDontShowDlgNext=1\n",
     {{kCom, "\r"}, {kTcp, "\r"}, {kDontShow, "\r"}, {kSave, "\r"}},
     kOthers + "[Server]\nComPort=2\nTCPPort=9000\nDontShowDlgNext=1\n",
     {"[2: /dev/ttyS1]", "[9000]", "[1]"}},
    {"each value changed, with Backspace",
     "server",
     kOthers + "[server]\ncomport=1\n",
     {{kCom, "12\x7f\x7f" "3\r"}, {kTcp, "10000\r"}, {kDontShow, "y\r"}, {kSave, "Y\r"}},
     kOthers + "[server]\nComPort=3\nTCPPort=10000\nDontShowDlgNext=1\n",
     {"COM3 は /dev/rw-loco を開きます。", "COMポート番号: 3 (/dev/rw-loco)"}},
    {"bad input is refused and asked again",
     "option",
     "[Server]\nComPort=0\n",
     {{kCom, "\r"},
      {"現在の値 0 は範囲外です。1〜256 の数値を入力してください。", "abc\r"},
      {"「abc」は数値ではありません。1〜256 の数値を入力してください。", "257\r"},
      {"257 は範囲外です。1〜256", "0\r"},
      {"0 は範囲外です。1〜256", "4\r"},
      {kTcp, "65536\r"},
      {"65536 は範囲外です。1〜65535 の数値を入力してください。", "0\r"},
      {"0 は範囲外です。1〜65535", "99999999999\r"},
      {"99999999999 は範囲外です。", "\r"},
      {kDontShow, "2\r"},
      {"「2」は使えません。0 か 1", "n\r"},
      {kSave, "maybe\r"},
      {"「maybe」には答えられません。y か n を入力してください。", "y\r"}},
     "[Server]\nComPort=4\nTCPPort=9851\nDontShowDlgNext=0\n",
     {"Railwick 設定"}},
};

TEST_F(DialogTest, SessionsWriteWhatWasConfirmed) {
    for (const SessionCase& c : kSessions) {
        SCOPED_TRACE(c.what);
        std::remove(path.c_str());
        if (!c.before.empty()) Put(c.before);
        Fresh();
        Start({c.dialog});
        Play(c.steps);
        EXPECT_EQ(Result(), 1);
        EXPECT_EQ(Get(), c.after);
        EXPECT_EQ(Entries(), std::set<std::string>{"Railwick.ini"});
        for (const char* text : c.shown) EXPECT_NE(child->Screen().find(text), std::string::npos) << text;
    }
}

struct CancelCase {
    const char* what;
    std::vector<Step> steps;
};

const CancelCase kCancels[] = {
    {"Ctrl-C at the first question", {{kCom, "\x03"}}},
    {"Ctrl-C halfway through a line", {{kCom, "5\r"}, {kTcp, "12\x03"}}},
    {"Ctrl-D on an empty line", {{kCom, "\r"}, {kTcp, "\x04"}}},
    {"no at the confirmation", {{kCom, "5\r"}, {kTcp, "\r"}, {kDontShow, "\r"}, {kSave, "n\r"}}},
};

TEST_F(DialogTest, CancelWritesNothing) {
    const std::string before = kOthers + "[Server]\nComPort=2\n";
    for (const CancelCase& c : kCancels) {
        SCOPED_TRACE(c.what);
        Put(before);
        Fresh();
        const termios settings = child->Settings();
        Start({"server"});
        Play(c.steps);
        EXPECT_EQ(Result(), 0);
        EXPECT_EQ(Get(), before);
        EXPECT_EQ(Entries(), std::set<std::string>{"Railwick.ini"});
        EXPECT_NE(child->Screen().find("設定は変更されていません。"), std::string::npos);
        // The terminal is handed back as the dialog found it.
        EXPECT_EQ(child->Settings().c_lflag, settings.c_lflag);
    }
}

TEST_F(DialogTest, HangupEndsTheDialog) {
    Put("[Server]\nComPort=2\n");
    Start({"--ignore-hangup", "server"});
    Play({{kCom, "7\r"}, {kTcp, ""}});
    child->Hangup();
    EXPECT_EQ(Result(), 0);
    EXPECT_EQ(Get(), "[Server]\nComPort=2\n");
}

TEST_F(DialogTest, WithoutTerminalSettingsStandAsTheyAre) {
    for (const char* dialog : {"server", "option"}) {
        SCOPED_TRACE(dialog);
        Fresh();
        Start({dialog}, false);
        EXPECT_EQ(Result(), 1);
        EXPECT_TRUE(Entries().empty());
    }
    Fresh();
    Start({"version"}, false);
    EXPECT_EQ(Result(), 0);
}

TEST_F(DialogTest, FailedWriteLeavesTheFileAsItWas) {
    const std::string before = kOthers + "[Server]\nComPort=2\n";
    Put(before);
    ASSERT_EQ(chmod(directory.c_str(), 0500), 0);
    Start({"--no-override", "server"});
    Play({{kCom, "5\r"}, {kTcp, "\r"}, {kDontShow, "\r"}, {kSave, "y\r"}});
    EXPECT_EQ(Result(), 0);
    EXPECT_NE(child->Screen().find("設定を保存できませんでした ("), std::string::npos);
    EXPECT_NE(child->Screen().find("元のファイルは変更されていません。"), std::string::npos);
    EXPECT_EQ(Get(), before);
    EXPECT_EQ(Entries(), std::set<std::string>{"Railwick.ini"});
}

TEST_F(DialogTest, MessagesAreDispatchedWhileTheDialogWaits) {
    Start({"--timer", "server"});
    ASSERT_TRUE(child->WaitFor(kCom));
    ASSERT_TRUE(child->WaitForReport("ticking\n")) << "no timer message reached the window while the dialog waited";
    ASSERT_TRUE(child->Send("\x03"));
    EXPECT_EQ(Result(), 0);
    EXPECT_TRUE(Entries().empty());
}

TEST_F(DialogTest, QuitMessageEndsTheDialogAndStaysForTheThread) {
    Start({"--quit", "server"});
    ASSERT_TRUE(child->WaitFor(kCom));
    EXPECT_EQ(Result(), 0);
    EXPECT_NE(child->Report().find("quit=7\n"), std::string::npos) << child->Report();
    EXPECT_TRUE(Entries().empty());
}

TEST_F(DialogTest, VersionDialogShowsNameAndVersionUntilEnter) {
    const struct {
        const char* dialog;
        const char* name;
        const char* version;
    } cases[] = {
        {"version", "テスト", "バージョン 2.00"},
        {"version-bare", "Railwick Server", "バージョン 0.00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dialog);
        Fresh();
        Start({c.dialog});
        Play({{"Enter キーで閉じます。", "ab\r"}});
        EXPECT_EQ(Result(), 1);
        EXPECT_NE(child->Screen().find(c.name), std::string::npos) << child->Screen();
        EXPECT_NE(child->Screen().find(c.version), std::string::npos) << child->Screen();
    }
}

}  // namespace
