// The console handles on a pseudo-terminal that is the controlling terminal of a child process:
// modes on the terminal's flags, waits, raw reads, and the settings put back at the close.
#include "toolslib/TerminalChild.h"

#include <gtest/gtest.h>

namespace {

constexpr unsigned kLineModes = 0x1 | 0x2 | 0x4;   // processed, line and echo input

TEST(ConsoleTest, HandleReadsKeysRawAndPutsTheTerminalBack) {
    rwtest::TerminalChild child;
    ASSERT_TRUE(child.Ok());
    const termios before = child.Settings();
    ASSERT_TRUE(child.Start(RW_CONSOLE_DRIVER, {}, {}));

    // A fresh terminal has all three modes; nothing typed yet, so the handle is not signalled.
    ASSERT_TRUE(child.WaitForReport("idle="));
    ASSERT_TRUE(child.WaitFor("ready"));
    EXPECT_TRUE(child.WaitForReport("mode=" + std::to_string(kLineModes) + " idle=258\n")) << child.Report();
    EXPECT_TRUE(child.WaitForReport("set=1 mode=0\n")) << child.Report();
    const termios raw = child.Settings();
    EXPECT_EQ(raw.c_lflag & (ISIG | ICANON | ECHO), 0u);

    // Ctrl-C is a key now, not a signal, and one byte is a whole read without line input.
    ASSERT_TRUE(child.Send("\x03"));
    ASSERT_TRUE(child.WaitFor("again"));
    EXPECT_TRUE(child.WaitForReport("first wait=0 ok=1 read=03\n")) << child.Report();
    // Closing a second handle that changed nothing leaves the first one's settings.
    EXPECT_TRUE(child.WaitForReport("second=1 closed=1\n")) << child.Report();
    EXPECT_EQ(child.Settings().c_lflag & ICANON, 0u);

    ASSERT_TRUE(child.Send("xy"));
    EXPECT_EQ(child.Wait(), 0);
    EXPECT_TRUE(child.WaitForReport("last wait=0 ok=1 read=7879\n")) << child.Report();
    EXPECT_TRUE(child.WaitForReport("close=1\n")) << child.Report();
    EXPECT_EQ(child.Settings().c_lflag, before.c_lflag);
    EXPECT_EQ(child.Screen().find("xy"), std::string::npos) << "typed keys were echoed without echo input";
}

TEST(ConsoleTest, WithoutControllingTerminalThereIsNoConsole) {
    rwtest::TerminalChild child;
    ASSERT_TRUE(child.Start(RW_CONSOLE_DRIVER, {}, {}, false));
    EXPECT_EQ(child.Wait(), 0);
    EXPECT_EQ(child.Report(), "open failed error=2\n");
}

}  // namespace
