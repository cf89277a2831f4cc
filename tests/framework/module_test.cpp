// ZModule and the version text: the program's own version block, files without one, and the
// program-wide module handles.
#include "framework/ModuleHandles.h"
#include "framework/Version.h"
#include "framework/ZModule.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

TEST(ZModule, ProgramModuleHasItsPathAndVersion) {
    ZModule module;
    ASSERT_TRUE(module.Attach(GetModuleHandleA(nullptr)));
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    EXPECT_STREQ(module.GetFileName(), self);
    EXPECT_STREQ(module.GetFileVersion(), "2.00");
}

TEST(ZModule, EmptyModuleHasNoNameAndVersionZero) {
    ZModule module;
    EXPECT_STREQ(module.GetFileName(), "");
    EXPECT_STREQ(module.GetFileVersion(), "0.00");
}

TEST(GetFileVersionText, FileWithoutVersionGivesZero) {
    char path[] = "/tmp/rw-version-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    char buffer[100] = "untouched";
    EXPECT_FALSE(GetFileVersionText(path, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "0.00");
    std::remove(path);

    char missing[100] = "untouched";
    EXPECT_FALSE(GetFileVersionText("/nonexistent/RwServer", missing, sizeof missing));
    EXPECT_STREQ(missing, "0.00");
}

TEST(GetFileVersionText, ValueIsCutToTheBuffer) {
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    char buffer[3] = "xx";
    EXPECT_TRUE(GetFileVersionText(self, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "2.");
}

// The handles are process-wide, so the cases that need them unset run in a fresh process.
class ModuleHandlesDeathTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(ModuleHandlesDeathTest, ReadingBeforeSetThrows) {
    EXPECT_EXIT(
        {
            bool instanceThrew = false;
            bool resourceThrew = false;
            try {
                GetInstanceHandle();
            } catch (const std::logic_error&) {
                instanceThrew = true;
            }
            try {
                GetResourceHandle();
            } catch (const std::logic_error&) {
                resourceThrew = true;
            }
            std::exit(instanceThrew && resourceThrew ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(ModuleHandlesDeathTest, NullStoresTheProgramsModuleInBoth) {
    EXPECT_EXIT(
        {
            SetModuleHandles(nullptr);
            HINSTANCE self = GetModuleHandleA(nullptr);
            bool both = GetInstanceHandle() == self && GetResourceHandle() == self;
            // The resource handle alone can be changed.
            SetResourceHandle(reinterpret_cast<HINSTANCE>(0x1000));
            bool apart = GetInstanceHandle() == self && GetResourceHandle() == reinterpret_cast<HINSTANCE>(0x1000);
            std::exit(both && apart ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
