// Where the tools library keeps the settings file, and how it hands the path over.
#include "gateway/Railwick.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

class SettingFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kVariables) {
            const char* value = std::getenv(name);
            saved.push_back(value != nullptr ? std::make_pair(true, std::string(value)) : std::make_pair(false, std::string()));
            unsetenv(name);
        }
        char pattern[] = "/tmp/rw-setting-file-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
    }
    void TearDown() override {
        for (std::size_t i = 0; i < saved.size(); ++i) {
            if (saved[i].first) setenv(kVariables[i], saved[i].second.c_str(), 1);
            else unsetenv(kVariables[i]);
        }
        std::system(("rm -rf '" + directory + "'").c_str());
    }

    static bool IsFolder(const std::string& path) {
        struct stat info {};
        return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    }

    static std::string Path() {
        char buffer[MAX_PATH] = {};
        Railwick_GetSettingFile(buffer, sizeof buffer);
        return buffer;
    }

    static constexpr const char* kVariables[] = {"RW_SETTINGS", "XDG_CONFIG_HOME", "HOME"};
    std::vector<std::pair<bool, std::string>> saved;
    std::string directory;
};

TEST_F(SettingFileTest, LocationByTheEnvironmentWithItsFolderCreated) {
    setenv("HOME", (directory + "/home").c_str(), 1);
    EXPECT_EQ(Path(), directory + "/home/.config/railwick/Railwick.ini");
    EXPECT_TRUE(IsFolder(directory + "/home/.config/railwick"));

    setenv("XDG_CONFIG_HOME", (directory + "/xdg").c_str(), 1);
    EXPECT_EQ(Path(), directory + "/xdg/railwick/Railwick.ini");
    EXPECT_TRUE(IsFolder(directory + "/xdg/railwick"));

    setenv("RW_SETTINGS", (directory + "/own/settings.ini").c_str(), 1);
    EXPECT_EQ(Path(), directory + "/own/settings.ini");
    EXPECT_TRUE(IsFolder(directory + "/own"));

    // A relative base folder is not a valid XDG_CONFIG_HOME.
    unsetenv("RW_SETTINGS");
    setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_EQ(Path(), directory + "/home/.config/railwick/Railwick.ini");
}

TEST_F(SettingFileTest, PathIsCutToTheBufferAndEndsWithNul) {
    setenv("RW_SETTINGS", (directory + "/Railwick.ini").c_str(), 1);
    char buffer[32];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(Railwick_GetSettingFile(buffer, 10), 9);
    EXPECT_EQ(std::string(buffer), (directory + "/Railwick.ini").substr(0, 9));
    for (std::size_t i = 10; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], 'x') << "byte " << i << " written";

    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(Railwick_GetSettingFile(buffer, 1), 0);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], 'x');
    EXPECT_EQ(Railwick_GetSettingFile(buffer, 0), 0);
    EXPECT_EQ(buffer[1], 'x');
}

}  // namespace
