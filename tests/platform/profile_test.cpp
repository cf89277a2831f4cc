// The profile functions against INI texts: lookup rules, numbers, and edits that keep the rest.
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/rw-profile-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
        path = directory + "/test.ini";
    }
    void TearDown() override { std::system(("rm -rf '" + directory + "'").c_str()); }

    void Put(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    std::string Get() const {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // The names in the folder, sorted, one a line.
    std::string Entries() const {
        std::set<std::string> names;
        if (DIR* folder = opendir(directory.c_str())) {
            while (dirent* entry = readdir(folder)) {
                if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") names.insert(entry->d_name);
            }
            closedir(folder);
        }
        std::string list;
        for (const std::string& name : names) list += name + "\n";
        return list;
    }

    std::string directory;
    std::string path;
};

struct ReadCase {
    const char* what;
    const char* text;
    const char* section;
    const char* key;
    const char* expected;   // null: the default
};

const ReadCase kReadCases[] = {
    {"plain", "[Server]\nComPort=3\n", "Server", "ComPort", "3"},
    {"names without regard to case", "[server]\ncomport=3\n", "SERVER", "COMPORT", "3"},
    {"blanks around names and value", "  [ Server ]  \n  ComPort  =  3 4  \n", "Server", "ComPort", "3 4"},
    {"CR LF line ends", "[Server]\r\nComPort=3\r\n", "Server", "ComPort", "3"},
    {"UTF-8 byte-order mark before the first section", "\xEF\xBB\xBF[Server]\nComPort=3\n", "Server", "ComPort", "3"},
    {"last line without its end", "[Server]\nComPort=3", "Server", "ComPort", "3"},
    {"first of two keys wins", "[Server]\nComPort=3\nComPort=4\n", "Server", "ComPort", "3"},
    {"first of two sections wins", "[Server]\nComPort=3\n[Server]\nComPort=4\n", "Server", "ComPort", "3"},
    {"key in a later section of the name", "[Server]\nA=1\n[Other]\nComPort=9\n[Server]\nComPort=4\n", "Server",
     "ComPort", "4"},
    {"empty value", "[Server]\nComPort=\n", "Server", "ComPort", ""},
    {"key before any section", "ComPort=3\n[Server]\nTCPPort=1\n", "Server", "ComPort", nullptr},
    {"key of another section", "[Other]\nComPort=3\n[Server]\n", "Server", "ComPort", nullptr},
    {"missing section", "[Other]\nComPort=3\n", "Server", "ComPort", nullptr},
    {"comment line", "[Server]\n;ComPort=3\n", "Server", "ComPort", nullptr},
    {"line without equals", "[Server]\nComPort\n", "Server", "ComPort", nullptr},
    {"equals in the value", "[Server]\nName=a=b\n", "Server", "Name", "a=b"},
    {"section header without its bracket", "[Server\nComPort=3\n", "Server", "ComPort", "3"},
};

TEST_F(ProfileTest, StringLookupFollowsTheWindowsRules) {
    for (const ReadCase& c : kReadCases) {
        SCOPED_TRACE(c.what);
        Put(c.text);
        char buffer[64] = "untouched";
        DWORD length = GetPrivateProfileStringA(c.section, c.key, "dflt  ", buffer, sizeof buffer, path.c_str());
        const std::string expected = c.expected != nullptr ? c.expected : "dflt";
        EXPECT_EQ(std::string(buffer), expected);
        EXPECT_EQ(length, expected.size());
        EXPECT_EQ(GetLastError(), c.expected != nullptr ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
    }
}

TEST_F(ProfileTest, StringIsCutToTheBuffer) {
    Put("[S]\nK=abcdef\n");
    char buffer[5] = {'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(GetPrivateProfileStringA("S", "K", "", buffer, 4, path.c_str()), 3u);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(buffer[4], 'x');
}

TEST_F(ProfileTest, MissingFileGivesTheDefault) {
    char buffer[16];
    EXPECT_EQ(GetPrivateProfileStringA("S", "K", "dflt", buffer, sizeof buffer, path.c_str()), 4u);
    EXPECT_STREQ(buffer, "dflt");
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetPrivateProfileIntA("Server", "TCPPort", 9851, path.c_str()), 9851u);
}

TEST_F(ProfileTest, IntegerTakesTheLeadingDigits) {
    const struct {
        const char* value;
        UINT expected;
    } cases[] = {
        {"42", 42},          {" 42 ", 42},     {"42abc", 42},   {"abc", 0},          {"-5", static_cast<UINT>(-5)},
        {"- 5", 0},          {"", 77},         {"0", 0},        {"4294967295", 4294967295u}, {"007", 7},
        {"+3", 0},           {"3.9", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        Put(std::string("[Server]\nTCPPort=") + c.value + "\n");
        EXPECT_EQ(GetPrivateProfileIntA("server", "tcpport", 77, path.c_str()), c.expected);
    }
}

struct WriteCase {
    const char* what;
    const char* before;   // null: no file
    const char* section;
    const char* key;
    const char* value;
    const char* after;    // null: no file
};

const WriteCase kWriteCases[] = {
    {"new file", nullptr, "Server", "ComPort", "3", "[Server]\nComPort=3\n"},
    {"replaces the value in place, keeps the rest", "; mine\n[Server]\nTCPPort=1\ncomport = 1 \nX=y\n[Other]\nA=b\n",
     "Server", "ComPort", "3", "; mine\n[Server]\nTCPPort=1\nComPort=3\nX=y\n[Other]\nA=b\n"},
    {"adds a key at the end of its section", "[Server]\nTCPPort=1\n\n[Other]\nA=b\n", "Server", "ComPort", "3",
     "[Server]\nTCPPort=1\nComPort=3\n\n[Other]\nA=b\n"},
    {"adds a missing section at the end", "[Other]\nA=b", "Server", "ComPort", "3",
     "[Other]\nA=b\n\n[Server]\nComPort=3\n"},
    {"keeps CR LF", "[Server]\r\nTCPPort=1\r\n", "Server", "ComPort", "3", "[Server]\r\nTCPPort=1\r\nComPort=3\r\n"},
    {"only the first copy of a key changes", "[Server]\nComPort=1\nComPort=2\n", "Server", "ComPort", "3",
     "[Server]\nComPort=3\nComPort=2\n"},
    {"a key before any section is not the section's", "ComPort=1\n[Server]\n", "Server", "ComPort", "3",
     "ComPort=1\n[Server]\nComPort=3\n"},
    {"null value deletes every copy of the key", "[Server]\nComPort=1\nTCPPort=2\ncomport=5\n", "Server", "ComPort",
     nullptr, "[Server]\nTCPPort=2\n"},
    {"null key deletes the section", "[A]\nx=1\n[Server]\nComPort=1\n; note\n[B]\ny=2\n", "Server", nullptr, nullptr,
     "[A]\nx=1\n[B]\ny=2\n"},
    {"deleting from a missing file creates none", nullptr, "Server", "ComPort", nullptr, nullptr},
};

TEST_F(ProfileTest, WritingChangesOnlyWhatItIsAbout) {
    for (const WriteCase& c : kWriteCases) {
        SCOPED_TRACE(c.what);
        std::remove(path.c_str());
        if (c.before != nullptr) Put(c.before);
        EXPECT_TRUE(WritePrivateProfileStringA(c.section, c.key, c.value, path.c_str()));
        EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
        EXPECT_EQ(access(path.c_str(), F_OK) == 0, c.after != nullptr);
        if (c.after != nullptr) {
            EXPECT_EQ(Get(), c.after);
        }
        // No temporary file is left beside it.
        EXPECT_EQ(Entries(), c.after != nullptr ? "test.ini\n" : "");
    }
}

TEST_F(ProfileTest, WrittenValueReadsBack) {
    ASSERT_TRUE(WritePrivateProfileStringA("Server", "TCPPort", "10000", path.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("Server", "ComPort", "2", path.c_str()));
    EXPECT_EQ(GetPrivateProfileIntA("Server", "TCPPort", 0, path.c_str()), 10000u);
    EXPECT_EQ(GetPrivateProfileIntA("Server", "ComPort", 0, path.c_str()), 2u);
}

TEST_F(ProfileTest, WritingKeepsTheFileModeAndALink) {
    Put("[Server]\nComPort=1\n");
    chmod(path.c_str(), 0640);
    const std::string link = directory + "/link.ini";
    ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
    ASSERT_TRUE(WritePrivateProfileStringA("Server", "ComPort", "2", link.c_str()));
    struct stat info {};
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(Get(), "[Server]\nComPort=2\n");
}

TEST_F(ProfileTest, WriteFailuresAreReported) {
    EXPECT_FALSE(WritePrivateProfileStringA("Server", "ComPort", "1", (directory + "/missing/x.ini").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(WritePrivateProfileStringA(nullptr, "ComPort", "1", path.c_str()));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    // A folder where the file should be: it cannot be read, and nothing is put beside it.
    ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
    EXPECT_FALSE(WritePrivateProfileStringA("Server", "ComPort", "1", path.c_str()));
    EXPECT_NE(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(Entries(), "test.ini\n");
}

}  // namespace
