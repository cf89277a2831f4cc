// The resources of one program as its resource script describes them, and the reader of the
// part of the resource-script language that our scripts use.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rcgen {

// A failure with the script line it belongs to (0 when it has none, e.g. a missing file).
struct Error {
    int line = 0;
    std::string message;
};

struct StringResource {
    unsigned id = 0;
    std::string text;   // UTF-8, escapes decoded
    int line = 0;
};

// A command (id and text), a separator, or a popup with its own items.
struct MenuNode {
    enum class Kind { Command, Separator, Popup };
    Kind kind = Kind::Command;
    unsigned id = 0;
    std::string text;   // kept as written, '&' included: the menu draws it as a mnemonic
    std::vector<MenuNode> items;
};

struct MenuResource {
    unsigned id = 0;
    std::vector<MenuNode> items;
    int line = 0;
};

// A resource whose content is a file beside the script: an icon group or the manifest.
struct FileResource {
    unsigned id = 0;
    std::string file;   // as written in the script, relative to the script's folder
    int line = 0;
};

struct VersionValue {
    std::string name;
    std::string value;
};

struct VersionTranslation {
    std::uint16_t language = 0;
    std::uint16_t codePage = 0;
    std::vector<VersionValue> values;
};

struct VersionResource {
    std::uint16_t fileVersion[4] = {};
    std::uint16_t productVersion[4] = {};
    // In the order of the Translation value; each has the string block of its own.
    std::vector<VersionTranslation> translations;
    int line = 0;
};

struct Script {
    std::vector<StringResource> strings;
    std::vector<MenuResource> menus;
    std::vector<FileResource> icons;
    std::vector<FileResource> manifests;
    std::vector<VersionResource> versions;   // at most one
};

// Reads a script. Anything outside the supported subset, and every inconsistency that would
// make the Windows build differ from ours (a duplicate id, a translation without its strings),
// is refused with the line where it was found.
bool ParseScript(std::string_view text, Script& script, Error& error);

}  // namespace rcgen
