// The IP access lists: the admission decision over real list files in a temporary program
// directory, the pattern language, and the double-byte-aware scans it is built on.
#include "io/IpAccessList.h"
#include "platform/testing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

// A program directory with optional list files; LoadIpLists reads them as if the program file
// lay there.
class ProgramDirectory {
public:
    ProgramDirectory() {
        char name[] = "/tmp/rw-iplist-XXXXXX";
        if (mkdtemp(name) != nullptr) directory = name;
    }
    ~ProgramDirectory() {
        for (const char* file : {"denyip.txt", "allowip.txt"}) std::remove((directory + "/" + file).c_str());
        rmdir(directory.c_str());
    }
    ProgramDirectory(const ProgramDirectory&) = delete;
    ProgramDirectory& operator=(const ProgramDirectory&) = delete;

    void Write(const char* file, const std::optional<std::string>& content) {
        std::string path = directory + "/" + file;
        std::remove(path.c_str());
        if (!content) return;
        std::FILE* f = std::fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fwrite(content->data(), 1, content->size(), f);
        std::fclose(f);
    }
    void Load(const std::optional<std::string>& deny, const std::optional<std::string>& allow) {
        Write("denyip.txt", deny);
        Write("allowip.txt", allow);
        LoadIpLists((directory + "/RwServer").c_str());
    }
    bool Exists() const { return !directory.empty(); }
    const std::string& Path() const { return directory; }

private:
    std::string directory;
};

std::vector<std::string> Entries(const std::vector<ZString>& list) {
    return std::vector<std::string>(list.begin(), list.end());
}

const std::optional<std::string> kNoFile;

TEST(IpAccessList, AdmissionFromTheListFiles) {
    const std::string longPiece(MaxListLine, 'x');
    struct Row {
        std::optional<std::string> deny;
        std::optional<std::string> allow;
        const char* address;
        bool admitted;
    } rows[] = {
        // Out of the box only the local computer.
        {kNoFile, kNoFile, "127.0.0.1", true},
        {kNoFile, kNoFile, "192.168.0.7", false},
        {kNoFile, "*\n", "10.1.2.3", true},
        // A deny list that catches nobody never consults the allow list.
        {"0.0.0.0\n", kNoFile, "192.168.0.7", true},
        {"0.0.0.0\n", "10.0.0.1\n", "192.168.0.7", true},
        // An allow file replaces the default entry instead of adding to it.
        {kNoFile, "192.168.0.*\n", "192.168.0.7", true},
        {kNoFile, "192.168.0.*\n", "127.0.0.1", false},
        {"192.168.0.13\n", kNoFile, "192.168.0.13", false},
        {"192.168.0.13\n", kNoFile, "192.168.0.14", true},
        {"192.168.0.13\n", kNoFile, "127.0.0.1", true},
        // Entries are taken byte for byte: a blank stays part of the entry.
        {kNoFile, " 127.0.0.1\n", "127.0.0.1", false},
        {kNoFile, "127.0.0.1 \n", "127.0.0.1", false},
        {kNoFile, "\xEF\xBB\xBF" "127.0.0.1\n", "127.0.0.1", false},
        {kNoFile, "127.0.0.1;192.168.0.*\n", "192.168.0.200", true},
        {kNoFile, "127.0.0.1;192.168.0.*;\n", "127.0.0.1", true},
        {kNoFile, "127.0.0.1;192.168.0.*;\n", "192.168.1.1", false},
        // Later entries are looked at too; the last line needs no line end.
        {kNoFile, "10.0.0.1\r\n10.0.0.2\r\n", "10.0.0.2", true},
        {kNoFile, "10.0.0.1\n10.0.0.2", "10.0.0.2", true},
        // A file of empty lines is an empty file: the default applies.
        {kNoFile, "\n\r\n\n", "127.0.0.1", true},
        {"\n\n", kNoFile, "192.168.0.7", false},
        // A long line is taken in pieces of 255 bytes, each an entry of its own.
        {kNoFile, longPiece + "10.0.0.9\n", "10.0.0.9", true},
        {kNoFile, longPiece + "\n", "127.0.0.1", false},
    };
    ProgramDirectory program;
    ASSERT_TRUE(program.Exists());
    int row = 0;
    for (const Row& r : rows) {
        program.Load(r.deny, r.allow);
        EXPECT_EQ(IsAddressAllowed(r.address), r.admitted) << "row " << row << ": " << r.address;
        ++row;
    }
}

TEST(IpAccessList, LinesAreCutAtTheirEndAndLongLinesSplit) {
    ProgramDirectory program;
    ASSERT_TRUE(program.Exists());
    program.Load("10.0.0.1\r\n10.0.0.2\r\n", "10.0.0.1\n10.0.0.2\n");
    EXPECT_EQ(Entries(g_denyList), Entries(g_allowList));
    EXPECT_EQ(Entries(g_denyList), (std::vector<std::string>{"10.0.0.1", "10.0.0.2"}));

    const std::string line(2 * MaxListLine + 3, 'a');
    program.Load(line + "\n", line);
    const std::vector<std::string> pieces{std::string(MaxListLine, 'a'), std::string(MaxListLine, 'a'), "aaa"};
    EXPECT_EQ(Entries(g_denyList), pieces);
    EXPECT_EQ(Entries(g_allowList), pieces);

    // Loading again replaces the lists; missing files give the two defaults.
    program.Load(kNoFile, kNoFile);
    EXPECT_EQ(Entries(g_denyList), (std::vector<std::string>{"*"}));
    EXPECT_EQ(Entries(g_allowList), (std::vector<std::string>{"127.0.0.1"}));
}

TEST(IpAccessList, WithoutProgramPathTheFilesAreInTheCurrentDirectory) {
    ProgramDirectory program;
    ASSERT_TRUE(program.Exists());
    program.Write("allowip.txt", "10.0.0.3\n");
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(program.Path().c_str()), 0);
    LoadIpLists("");
    EXPECT_EQ(chdir(previous), 0);
    EXPECT_EQ(Entries(g_allowList), (std::vector<std::string>{"10.0.0.3"}));
}

TEST(MatchPatternLine, PatternLanguage) {
    const std::string longAddress(1000, '1');
    const std::string longFirst = "10.0.0.1;" + std::string(2000, 'x');
    const std::string longLast = std::string(2000, 'x') + ";10.0.0.2";
    struct Case {
        const char* address;
        const char* entry;
        bool matches;
    } cases[] = {
        {"10.0.0.5", "10.0.0.??", true},
        {"10.0.0.55", "10.0.0.??", true},
        {"10.0.0.155", "10.0.0.??", false},
        {"10.0.0.5", "10.0.0.?", true},
        {"10.0.0.55", "10.0.0.?", false},
        {"10.0.0.1", "10.*.1", true},
        {"10.20.30.1", "10.*.1", true},
        {"10.0.0.2", "10.*.1", false},
        {"10.0.0.1", "1?.0.0.1", true},
        {"1.0.0.1", "1?.0.0.1", false},
        {"10.0.0.1", "10.0.0.1??", true},
        {"10.0.0.123", "10.0.0.1??", true},
        {"10.0.0.1234", "10.0.0.1??", false},
        {"10.0.0.1", "*", true},
        {"10.0.0.1", "*.*", true},
        {"10.0.0.1", "", true},
        // A star swallows the stars and question marks after it.
        {"10.0.0.1", "10*??.1", true},
        {"x", "*?*", true},
        {"10.0.0.1", "**.**", true},
        {"10.0.0.1", "*??*0.0.1", true},
        // "*." admits only texts without a dot, or with their only dot at the end.
        {"10.0.0.1", "*.", false},
        {"localhost", "*.", true},
        {"host.", "*.", true},
        {"a.b", "*.", false},
        {"HOST.Example", "host.EXAMPLE", true},
        // Several patterns: any one may match, empty pieces match only an empty text.
        {"192.168.0.4", "127.0.0.1;192.168.0.*", true},
        {"192.168.0.4", "127.0.0.1;192.168.0.*;", true},
        {"192.168.1.4", "127.0.0.1;192.168.0.*;", false},
        {"", "x;;", true},
        {"", "x;y", false},
        {"10.0.0.1", ";10.0.0.1", true},
        // A text that ends before the pattern still matches a pattern rest of question marks.
        {"", "?", true},
        // The ";" that follows a lead byte is part of a double-byte character, not a separator.
        {"10.0.0.1", "\x81;10.0.0.1", false},
        {"10.0.0.1", "10.0.0.1;\x81;", true},
        // Inputs longer than the work areas are cut, never written past them.
        // (the entry keeps its first 998 bytes, a pattern and the address their first 263).
        {longAddress.c_str(), "*", true},
        {longAddress.c_str(), longAddress.c_str(), true},
        {"10.0.0.1", longFirst.c_str(), true},
        {"10.0.0.2", longLast.c_str(), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchPatternLine(c.address, c.entry), c.matches) << '"' << c.address << "\" with \"" << c.entry << '"';
    }
}

TEST(MatchWildcard, UncollapsedPatterns) {
    struct Case {
        const char* text;
        const char* pattern;
        bool matches;
    } cases[] = {
        {"", "", true},
        {"a", "", false},
        {"10", "10*", true},
        {"10", "10**", false},    // only a single star may follow the end of the text
        {"10", "10??", true},
        {"10", "10?*", false},
        {"abc", "a*c", true},
        {"abcbc", "a*bc", true},
        {"abcbd", "a*bc", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchWildcard(c.text, c.pattern), c.matches) << '"' << c.text << "\" with \"" << c.pattern << '"';
    }
}

TEST(DoubleByteScan, FindCharAndIsTrailByte) {
    const char text[] = "a\x81;b;";
    EXPECT_EQ(FindChar(text, ';'), text + 4);
    EXPECT_EQ(FindChar(text, '\0'), text + 5);
    EXPECT_EQ(FindChar("ab\x81", 'x'), nullptr);
    EXPECT_EQ(FindChar("a\x81", '\0'), nullptr);   // a lead byte before the end ends the search
    EXPECT_FALSE(IsTrailByte(text, text + 1));
    EXPECT_TRUE(IsTrailByte(text, text + 2));
    EXPECT_FALSE(IsTrailByte(text, text + 3));
    EXPECT_FALSE(IsTrailByte(text, text + 5));
    EXPECT_FALSE(IsTrailByte(text + 1, text));

    // In a single-byte code page every byte is a character of its own.
    RwTestSetAnsiCodePage(1252);
    EXPECT_EQ(FindChar(text, ';'), text + 2);
    EXPECT_FALSE(IsTrailByte(text, text + 2));
    RwTestSetAnsiCodePage(932);
}

}  // namespace
