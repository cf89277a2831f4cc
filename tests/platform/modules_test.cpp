// Module handles and file names, the string table in the ANSI code page, the version block as
// the VERSION functions hand it out, and the reported system version.
#include "platform/testing.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// This test program's own resource table: strings only, plus a version block with two
// translations.
const win32::rc::StringEntry kStrings[] = {
    {1, "plain text"},
    {2, "表示"},   // 0x95 0x5C 0x8E 0xA6 in code page 932
    {3, ""},
};
const win32::rc::VersionValue kJapanese[] = {{"FileVersion", "3.10"}, {"Comments", "日本語"}};
const win32::rc::VersionValue kEnglish[] = {{"FileVersion", "3.10 en"}};
const win32::rc::VersionTranslation kTranslations[] = {
    {0x0411, 0x04B0, kJapanese, std::size(kJapanese)},
    {0x0409, 0x04B0, kEnglish, std::size(kEnglish)},
};
const win32::rc::VersionBlock kVersion = {{3, 1, 4, 5}, {3, 0, 0, 0}, kTranslations, std::size(kTranslations)};
const win32::rc::Table kTable = {.strings = kStrings, .stringCount = std::size(kStrings), .version = &kVersion};
const win32::rc::Registration kRegistration(kTable);

std::string SelfPath() {
    char path[4096] = {};
    return readlink("/proc/self/exe", path, sizeof path - 1) > 0 ? std::string(path) : std::string();
}

TEST(GetModuleHandleA, NullIsTheExecutableAndNamesFindNothing) {
    HMODULE self = GetModuleHandleA(nullptr);
    EXPECT_NE(self, nullptr);
    EXPECT_EQ(GetModuleHandleA(nullptr), self);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(GetModuleHandleA("kernel32.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST(GetModuleFileNameA, RealPathOfTheExecutableCutToTheBuffer) {
    char name[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, name, MAX_PATH);
    EXPECT_EQ(std::string(name), SelfPath());
    EXPECT_EQ(length, SelfPath().size());
    EXPECT_EQ(GetModuleFileNameA(GetModuleHandleA(nullptr), name, MAX_PATH), length);

    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(GetModuleFileNameA(nullptr, name, 5), 5u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::string(name), SelfPath().substr(0, 4));

    EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(0x1000), name, MAX_PATH), 0u);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST(LoadStringA, HandsOutTheAnsiCodePageAndCutsWholeCharacters) {
    HINSTANCE self = GetModuleHandleA(nullptr);
    char buffer[32];
    EXPECT_EQ(LoadStringA(self, 2, buffer, sizeof buffer), 4);
    EXPECT_STREQ(buffer, "\x95\x5C\x8E\xA6");
    EXPECT_EQ(LoadStringA(nullptr, 1, buffer, sizeof buffer), 10);
    EXPECT_STREQ(buffer, "plain text");

    struct Cut {
        int bufferMax;
        int length;
        const char* text;
    } cuts[] = {{6, 5, "plain"}, {1, 0, ""}};
    for (const Cut& c : cuts) {
        EXPECT_EQ(LoadStringA(self, 1, buffer, c.bufferMax), c.length);
        EXPECT_STREQ(buffer, c.text);
    }
    // Room for three bytes holds the first character only, never half of the second.
    EXPECT_EQ(LoadStringA(self, 2, buffer, 4), 2);
    EXPECT_STREQ(buffer, "\x95\x5C");
}

TEST(LoadStringA, FollowsTheCodePageSetByATest) {
    char buffer[32];
    RwTestSetAnsiCodePage(65001);
    EXPECT_EQ(LoadStringA(nullptr, 2, buffer, sizeof buffer), 6);
    EXPECT_STREQ(buffer, "表示");
    // Characters the code page cannot show become "?", as Windows' default character.
    RwTestSetAnsiCodePage(1252);
    EXPECT_EQ(LoadStringA(nullptr, 2, buffer, sizeof buffer), 2);
    EXPECT_STREQ(buffer, "??");
    RwTestSetAnsiCodePage(932);
}

TEST(LoadStringA, MissingEntriesAndModulesReturnZero) {
    struct Case {
        HINSTANCE module;
        UINT id;
        DWORD error;
    } cases[] = {
        {nullptr, 99, ERROR_RESOURCE_NAME_NOT_FOUND},
        {nullptr, 3, ERROR_RESOURCE_NAME_NOT_FOUND},   // an empty text is no entry
        {reinterpret_cast<HINSTANCE>(0x1000), 1, ERROR_RESOURCE_DATA_NOT_FOUND},
    };
    for (const Case& c : cases) {
        char buffer[8] = "#######";
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(LoadStringA(c.module, c.id, buffer, sizeof buffer), 0) << c.id;
        EXPECT_EQ(GetLastError(), c.error) << c.id;
        EXPECT_STREQ(buffer, "") << c.id;
    }
}

class VersionBlock : public ::testing::Test {
protected:
    void SetUp() override {
        DWORD handle = 7;
        DWORD size = GetFileVersionInfoSizeA(SelfPath().c_str(), &handle);
        ASSERT_GT(size, 0u);
        EXPECT_EQ(handle, 0u);
        block.resize(size);
        ASSERT_TRUE(GetFileVersionInfoA(SelfPath().c_str(), 0, size, block.data()));
    }
    std::string Value(const char* subBlock) {
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueA(block.data(), subBlock, &value, &length)) return "(none)";
        EXPECT_EQ(length, std::strlen(static_cast<const char*>(value)) + 1) << subBlock;
        return static_cast<const char*>(value);
    }
    std::vector<char> block;
};

TEST_F(VersionBlock, TranslationsAndTheirValues) {
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 8u);
    const WORD* translations = static_cast<const WORD*>(value);
    EXPECT_EQ(translations[0], 0x0411);
    EXPECT_EQ(translations[1], 0x04B0);
    EXPECT_EQ(translations[2], 0x0409);
    EXPECT_EQ(translations[3], 0x04B0);

    EXPECT_EQ(Value("\\StringFileInfo\\041104b0\\FileVersion"), "3.10");
    EXPECT_EQ(Value("\\StringFileInfo\\040904B0\\fileversion"), "3.10 en");
    EXPECT_EQ(Value("\\StringFileInfo\\041104b0\\Comments"), "\x93\xfa\x96\x7b\x8c\xea");   // in code page 932
    EXPECT_EQ(Value("\\StringFileInfo\\040904b0\\Comments"), "(none)");
    EXPECT_EQ(Value("\\StringFileInfo\\041104b0\\"), "(none)");
    EXPECT_EQ(Value("\\StringFileInfo\\041104b0"), "(none)");
}

TEST_F(VersionBlock, FixedFileInfo) {
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &value, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00030001u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00040005u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00030000u);
}

TEST(GetFileVersionInfoA, OnlyModuleFilesWithABlockHaveOne) {
    const std::string self = SelfPath();
    DWORD size = GetFileVersionInfoSizeA(self.c_str(), nullptr);
    std::vector<char> block(size);
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(GetFileVersionInfoA(self.c_str(), 0, size - 1, block.data()));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);

    // The executable found through a symbolic link is the same file.
    std::string link = "/tmp/rw-version-link-" + std::to_string(getpid());
    ASSERT_EQ(symlink(self.c_str(), link.c_str()), 0);
    EXPECT_EQ(GetFileVersionInfoSizeA(link.c_str(), nullptr), size);
    std::remove(link.c_str());

    char plain[] = "/tmp/rw-version-XXXXXX";
    int fd = mkstemp(plain);
    ASSERT_GE(fd, 0);
    close(fd);
    struct Case {
        const char* path;
        DWORD error;
    } cases[] = {
        {plain, ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"/nonexistent/RwServer", ERROR_FILE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        DWORD handle = 7;
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(GetFileVersionInfoSizeA(c.path, &handle), 0u) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
        EXPECT_EQ(handle, 0u);
        char data[64];
        EXPECT_FALSE(GetFileVersionInfoA(c.path, 0, sizeof data, data)) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
    }
    std::remove(plain);
}

TEST(GetVersionExA, ReportsTheSimulatedVersion) {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(info.dwMajorVersion, 10u);
    EXPECT_EQ(info.dwMinorVersion, 0u);

    RwTestSetOsVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0x040A0000 | 2222);
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_WINDOWS);
    EXPECT_EQ(info.dwMinorVersion, 10u);
    EXPECT_EQ(info.dwBuildNumber, 0x040A0000u | 2222);

    RwTestSetOsVersionFails(true);
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(GetVersionExA(&info));
    EXPECT_NE(GetLastError(), ERROR_SUCCESS);
    RwTestSetOsVersionFails(false);
    RwTestSetOsVersion(VER_PLATFORM_WIN32_NT, 10, 0, 19045);

    info.dwOSVersionInfoSize = sizeof info - 1;
    EXPECT_FALSE(GetVersionExA(&info));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

}  // namespace
