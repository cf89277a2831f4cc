// The system-version tests. Their answers are remembered for the life of the process, so every
// case runs in a process of its own.
#include "framework/Version.h"
#include "platform/testing.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class VersionTestsDeathTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

int Answers() { return (IsWindows95() ? 1 : 0) | (IsWindows98OrMe() ? 2 : 0) | (IsWindows2000OrLater() ? 4 : 0); }

TEST_F(VersionTestsDeathTest, AnswersForEachSystem) {
    struct Case {
        const char* system;
        DWORD platformId, major, minor, build;
        int answers;   // 1: Windows 95, 2: 98 or Me, 4: 2000 or later
    } cases[] = {
        {"Windows 95", VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0x04000000 | 950, 1},
        {"Windows 98", VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0x040A0000 | 1998, 2},
        {"Windows Me", VER_PLATFORM_WIN32_WINDOWS, 4, 90, 0x045A0000 | 3000, 2},
        // The 95 family is told by the build-number field, not by the version fields.
        {"95 by the build field", VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0x04000000 | 950, 1},
        {"Windows NT 4.0", VER_PLATFORM_WIN32_NT, 4, 0, 1381, 0},
        {"Windows 2000", VER_PLATFORM_WIN32_NT, 5, 0, 2195, 4},
        {"Windows 10", VER_PLATFORM_WIN32_NT, 10, 0, 19045, 4},
        {"Win32s", 0, 3, 10, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EXIT(
            {
                RwTestSetOsVersion(c.platformId, c.major, c.minor, c.build);
                std::exit(Answers());
            },
            ::testing::ExitedWithCode(c.answers), "")
            << c.system;
    }
}

TEST_F(VersionTestsDeathTest, AnswersAreRememberedButFailuresAreNot) {
    EXPECT_EXIT(
        {
            RwTestSetOsVersionFails(true);
            int failed = Answers();
            RwTestSetOsVersionFails(false);
            RwTestSetOsVersion(VER_PLATFORM_WIN32_NT, 5, 0, 2195);
            int asked = Answers();
            RwTestSetOsVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0x04000000 | 950);
            int remembered = Answers();
            std::exit(failed == 0 && asked == 4 && remembered == 4 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
