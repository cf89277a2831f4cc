// Path functions over code-page-932 text: separators, extensions and the searched character are
// never found inside a double-byte character.
#include "framework/Paths.h"
#include "platform/testing.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// "C:\表\RwServer.exe": the second byte of 表 (0x95 0x5C) is a backslash byte.
const char kShiftJisPath[] = "C:\\\x95\x5C\\RwServer.exe";

TEST(Paths, FindFileNameStartsAfterTheLastRealSeparator) {
    struct Case {
        const char* path;
        int offset;
    } cases[] = {
        {"C:\\Rw\\RwServer.exe", 6},
        {"/opt/rw/RwServer", 8},
        {"C:\\Rw/mixed", 6},
        {"RwServer.exe", 0},
        {"", 0},
        {"C:\\Rw\\", 6},
        {kShiftJisPath, 6},
        {"C:\\\x95\x5C", 3},      // the last "backslash" is half of a character
        {"C:\\\x95", 3},          // a lead byte at the end ends the scan
    };
    for (const Case& c : cases) EXPECT_EQ(FindFileName(c.path) - c.path, c.offset) << c.path;
}

TEST(Paths, RemoveFileNameKeepsTheTrailingSeparator) {
    char path[] = "C:\\Rw\\RwServer.exe";
    EXPECT_TRUE(RemoveFileName(path));
    EXPECT_STREQ(path, "C:\\Rw\\");
    char shiftJis[sizeof kShiftJisPath];
    std::string(kShiftJisPath).copy(shiftJis, sizeof shiftJis);
    shiftJis[sizeof shiftJis - 1] = '\0';
    RemoveFileName(shiftJis);
    EXPECT_STREQ(shiftJis, "C:\\\x95\x5C\\");
}

TEST(Paths, FindLastCharComparesWholeCharacters) {
    const char text[] = "a\\b\x95\x5C" "c";
    EXPECT_EQ(FindLastChar(text, '\\'), text + 1);
    EXPECT_EQ(FindLastChar(text, 0x955C), text + 3);
    EXPECT_EQ(FindLastChar(text, 'x'), nullptr);
    EXPECT_EQ(FindLastChar(text, 'c'), text + 5);

    // In a single-byte code page the same bytes are two characters.
    RwTestSetAnsiCodePage(1252);
    EXPECT_EQ(FindLastChar(text, '\\'), text + 4);
    EXPECT_EQ(FindLastChar(text, static_cast<char>(0x95)), text + 3);
    EXPECT_EQ(FindFileName(kShiftJisPath) - kShiftJisPath, 6);
    RwTestSetAnsiCodePage(932);
}

TEST(Paths, FindExtensionIsInTheFileNameOnly) {
    struct Case {
        const char* path;
        int offset;   // -1: none
    } cases[] = {
        {"RwServer.exe", 8},
        {"archive.tar.gz", 11},
        {"C:\\a.b\\name", -1},
        {"/opt/a.b/name", -1},
        {"RwServer", -1},
        {"C:\\Rw\\.hidden", 6},
    };
    for (const Case& c : cases) {
        const char* found = FindExtension(c.path);
        EXPECT_EQ(found == nullptr ? -1 : found - c.path, c.offset) << c.path;
    }
}

TEST(Paths, RenameExtension) {
    struct Case {
        const char* path;
        const char* extension;
        const char* expected;
    } cases[] = {
        {"RwServer.exe", ".hlp", "RwServer.hlp"},
        {"RwServer", ".hlp", "RwServer.hlp"},
        {"C:\\a.b\\name", ".hlp", "C:\\a.b\\name.hlp"},
        {"archive.tar.gz", ".bz2", "archive.tar.bz2"},
        {"RwServer.exe", nullptr, "RwServer"},
        {"RwServer.exe", "", "RwServer"},
        {kShiftJisPath, ".hlp", "C:\\\x95\x5C\\RwServer.hlp"},
    };
    for (const Case& c : cases) {
        char path[64] = {};
        std::string(c.path).copy(path, sizeof path - 1);
        EXPECT_TRUE(RenameExtension(path, c.extension));
        EXPECT_STREQ(path, c.expected) << c.path;
    }
}

}  // namespace
