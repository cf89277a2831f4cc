// ZString: the scratch-buffer rules, formatting, file-name replacement and the string table.
#include "framework/ModuleHandles.h"
#include "framework/ZString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>

namespace {

TEST(ZStringBuffer, ZeroOnEmptyStringIsTwoZeroBytesAndReleasesEmpty) {
    ZString s;
    char* buffer = s.GetBuffer(0);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], '\0');
    s.ReleaseBuffer();
    EXPECT_STREQ(s, "");
}

TEST(ZStringBuffer, HoldsAtMostNCharactersAndBecomesTheValueAtRelease) {
    ZString s("abcdef");
    char* buffer = s.GetBuffer(3);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(buffer[4], '\0');   // n + 2 bytes, all zeroed beyond the copy
    EXPECT_STREQ(s, "abcdef");    // the value changes only at ReleaseBuffer
    s.ReleaseBuffer();
    EXPECT_STREQ(s, "abc");
}

TEST(ZStringBuffer, ZeroTakesTheCurrentLength) {
    ZString s("abc");
    char* buffer = s.GetBuffer(0);
    EXPECT_STREQ(buffer, "abc");
    buffer[1] = '\0';
    s.ReleaseBuffer();
    EXPECT_STREQ(s, "a");
}

TEST(ZStringBuffer, SecondRequestWhileOutReturnsTheSameBuffer) {
    ZString s("abc");
    char* first = s.GetBuffer(3);
    EXPECT_EQ(s.GetBuffer(100), first);
    s.ReleaseBuffer();
    // After the release a new request is served again.
    char* second = s.GetBuffer(100);
    std::memset(second, 'x', 100);
    second[100] = '\0';
    s.ReleaseBuffer();
    EXPECT_EQ(std::string(s), std::string(100, 'x'));
}

TEST(ZStringBuffer, AssignmentWhileOutIsReplacedAtRelease) {
    ZString s("abc");
    s.GetBuffer(3);
    s = "xyz";
    EXPECT_STREQ(s, "xyz");
    s.ReleaseBuffer();
    EXPECT_STREQ(s, "abc");
}

TEST(ZStringBuffer, CopiesCarryTheValueOnly) {
    ZString s("abc");
    char* buffer = s.GetBuffer(3);
    buffer[0] = 'X';
    ZString copy(s);
    copy.ReleaseBuffer();   // the copy has no buffer out: nothing changes
    EXPECT_STREQ(copy, "abc");
    EXPECT_NE(copy.GetBuffer(3), buffer);
    copy.ReleaseBuffer();
    s.ReleaseBuffer();
    EXPECT_STREQ(s, "Xbc");
}

TEST(ZStringValue, NullTextIsEmptyAndConcatenationJoins) {
    ZString empty(static_cast<const char*>(nullptr));
    EXPECT_STREQ(empty, "");
    ZString s;
    s = static_cast<const char*>(nullptr);
    EXPECT_STREQ(s, "");
    EXPECT_STREQ(ZString("Railwick") + ZString(" Server"), "Railwick Server");
    EXPECT_STREQ(ZString("a") + "b", "ab");
    EXPECT_TRUE(ZString("ab") == std::string("ab").c_str());
    EXPECT_TRUE("ab" == ZString("a") + "b");
    EXPECT_TRUE(ZString("ab") != "abc");
}

TEST(ZStringFormat, FormatsAndReplacesThePreviousValue) {
    ZString s("old value");
    EXPECT_STREQ(s.Format("%d", 0), "0");
    EXPECT_STREQ(s.Format(" - COM%d / TCP:%d", 3, 9851), " - COM3 / TCP:9851");
    std::string longText(5000, 'y');
    EXPECT_EQ(std::string(s.Format("%s!", longText.c_str())), longText + "!");
}

TEST(ZStringFormat, NullFormatThrows) {
    ZString s;
    const char* format = nullptr;
    EXPECT_THROW(s.Format(format), std::invalid_argument);
}

TEST(ZStringFormat, UnmeasurableFormatGivesTheEmptyString) {
    // In the C locale a wide character outside ASCII cannot be converted, so the C library
    // cannot tell the formatted length.
    ZString s("old value");
    EXPECT_STREQ(s.Format("%ls", L"\u3042"), "");
}

TEST(ZStringFormat, BufferOutDoesNotLimitTheResult) {
    ZString s("ab");
    s.GetBuffer(2);
    EXPECT_STREQ(s.Format("%s", "a text much longer than the scratch buffer"),
                 "a text much longer than the scratch buffer");
    s.ReleaseBuffer();
    EXPECT_STREQ(s, "ab");
}

TEST(ZStringReplaceFileName, ReplacesEverythingAfterTheLastSeparator) {
    struct Case {
        const char* path;
        const char* name;
        const char* expected;
    } cases[] = {
        {"C:\\Rw\\RwServer.exe", "allowip.txt", "C:\\Rw\\allowip.txt"},
        {"C:\\Rw\\RwServer.exe", "denyip.txt", "C:\\Rw\\denyip.txt"},
        {"", "allowip.txt", "allowip.txt"},
        {"RwServer", "allowip.txt", "allowip.txt"},
        {"/opt/rw/RwServer", "denyip.txt", "/opt/rw/denyip.txt"},
        {"C:\\Rw\\", "denyip.txt", "C:\\Rw\\denyip.txt"},
        // The second byte of this character is 0x5C; the name starts after the real separator.
        {"C:\\\x95\x5C\\RwServer.exe", "denyip.txt", "C:\\\x95\x5C\\denyip.txt"},
    };
    for (const Case& c : cases) {
        ZString s(c.path);
        EXPECT_STREQ(s.ReplaceFileName(c.name), c.expected) << c.path;
    }
}

TEST(ZStringReplaceFileName, ResultIsCutAtMaxPath) {
    std::string directory = "/" + std::string(250, 'd') + "/";
    ZString s((directory + "RwServer").c_str());
    s.ReplaceFileName("allowip-with-a-long-name.txt");
    EXPECT_EQ(s.GetLength(), MAX_PATH);
    EXPECT_EQ(std::string(s), (directory + "allowip-with-a-long-name.txt").substr(0, MAX_PATH));

    // A double-byte character that would straddle the limit is left out whole.
    ZString dbcs((std::string(MAX_PATH - 2, 'd') + "/x").c_str());
    dbcs.ReplaceFileName("a\x95\x5C");
    EXPECT_EQ(std::string(dbcs), std::string(MAX_PATH - 2, 'd') + "/a");

    // A directory longer than the limit is cut too.
    ZString deep(("/" + std::string(400, 'e') + "/RwServer").c_str());
    deep.ReplaceFileName("denyip.txt");
    EXPECT_LE(deep.GetLength(), MAX_PATH);
}

class ZStringTable : public ::testing::Test {
protected:
    void SetUp() override { SetModuleHandles(nullptr); }
};

TEST_F(ZStringTable, LoadsTheProgramsTextsInCodePage932) {
    // "Winsockの初期化に失敗しました。" in code page 932.
    const char expected[] =
        "Winsock\x82\xcc\x8f\x89\x8a\xfa\x89\xbb\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42";
    ZString s;
    ASSERT_TRUE(s.LoadString(103));
    EXPECT_STREQ(s, expected);
    EXPECT_STREQ(ZString(110u), "VERSION Railwick Server %s");
    EXPECT_STREQ(ZString(109u), " - COM%d / TCP:%d");
    EXPECT_STREQ(ZString(101u), "Railwick Server");
}

TEST_F(ZStringTable, MissingEntryKeepsTheValue) {
    ZString s("kept");
    EXPECT_FALSE(s.LoadString(108));
    EXPECT_STREQ(s, "kept");
    EXPECT_STREQ(ZString(108u), "");
}

}  // namespace
