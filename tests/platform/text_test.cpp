// ANSI text functions: the lead bytes of the code page and the kernel's bounded copies and
// formatting.
#include "platform/testing.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(IsDBCSLeadByte, FollowsTheAnsiCodePage) {
    struct Case {
        BYTE byte;
        bool lead;
    } cases[] = {
        {0x5C, false}, {0x80, false}, {0x81, true}, {0x95, true}, {0x9F, true}, {0xA0, false},
        {0xDF, false}, {0xE0, true},  {0xFC, true}, {0xFD, false}, {0xFF, false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsDBCSLeadByte(c.byte) != FALSE, c.lead) << int(c.byte);

    RwTestSetAnsiCodePage(1252);
    for (const Case& c : cases) EXPECT_FALSE(IsDBCSLeadByte(c.byte)) << int(c.byte);
    RwTestSetAnsiCodePage(932);
}

TEST(lstrcpynA, CopiesAtMostCountMinusOneAndAlwaysTerminates) {
    char buffer[8];
    std::string(sizeof buffer, '#').copy(buffer, sizeof buffer);
    EXPECT_EQ(lstrcpynA(buffer, "abcdef", 4), buffer);
    EXPECT_STREQ(buffer, "abc");

    lstrcpynA(buffer, "ab", 8);
    EXPECT_STREQ(buffer, "ab");
    lstrcpynA(buffer, "xyz", 1);
    EXPECT_STREQ(buffer, "");
    buffer[0] = '#';
    lstrcpynA(buffer, "xyz", 0);
    EXPECT_EQ(buffer[0], '#');   // no room: nothing is written

    EXPECT_EQ(lstrcpynA(nullptr, "abc", 4), nullptr);
    EXPECT_EQ(lstrcpynA(buffer, nullptr, 4), nullptr);
}

TEST(lstrcatA, AppendsAndLengthsCountBytes) {
    char buffer[16] = "C:\\Rw\\";
    EXPECT_EQ(lstrcatA(buffer, "\x95\x5C.txt"), buffer);
    EXPECT_STREQ(buffer, "C:\\Rw\\\x95\x5C.txt");
    EXPECT_EQ(lstrlenA(buffer), 12);
    EXPECT_EQ(lstrlenA(nullptr), 0);
    EXPECT_STREQ(lstrcpyA(buffer, "abc"), "abc");
}

TEST(wsprintfA, FormatsAndStopsAt1024Bytes) {
    char buffer[2048];
    EXPECT_EQ(wsprintfA(buffer, "\\StringFileInfo\\%04x%04x\\FileVersion", 0x0411, 0x04B0), 36);
    EXPECT_STREQ(buffer, "\\StringFileInfo\\041104b0\\FileVersion");

    std::string longText(1500, 'z');
    std::string(sizeof buffer, '#').copy(buffer, sizeof buffer);
    EXPECT_EQ(wsprintfA(buffer, "%s", longText.c_str()), 1023);
    EXPECT_EQ(std::string(buffer), std::string(1023, 'z'));
    EXPECT_EQ(buffer[1024], '#');
}

}  // namespace
