// The settings file's location, and the folder created for it.
#include "toolslib/SettingFile.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string HomeFolder() {
    std::string home = Variable("HOME");
    if (!home.empty()) return home;
    // A session without HOME (a service) still has an account with a home folder.
    if (const passwd* account = getpwuid(getuid()); account != nullptr && account->pw_dir != nullptr)
        return account->pw_dir;
    return "";
}

// Creates the folders of the path up to its last slash, private to the user as the XDG base
// directories are; folders that exist are left as they are.
void CreateFolderOf(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return;
    }
}

}  // namespace

std::string SettingFilePath() {
    std::string path = Variable("RW_SETTINGS");
    if (path.empty()) {
        std::string base = Variable("XDG_CONFIG_HOME");
        // A relative XDG_CONFIG_HOME is invalid and ignored, as the base directory rules say.
        if (base.empty() || base[0] != '/') {
            std::string home = HomeFolder();
            if (home.empty()) return "";
            base = home + "/.config";
        }
        path = base + "/railwick/Railwick.ini";
    }
    CreateFolderOf(path);
    return path;
}
