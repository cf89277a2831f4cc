// The resource-table generator: reading scripts and refusing what it does not know, checking
// icon files, the table generated from a sample script, and the programs' own scripts with
// their pictures.
#include "IconFile.h"
#include "ResourceScript.h"
#include "TableWriter.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

extern const win32::rc::Table g_sampleTable;

namespace {

using rcgen::MenuNode;

std::string Source(const std::string& relative) { return std::string(RW_SOURCE_DIR) + "/" + relative; }

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ReadText(const std::string& path) {
    std::vector<std::uint8_t> bytes = ReadBytes(path);
    return {bytes.begin(), bytes.end()};
}

rcgen::Script Parse(const std::string& path) {
    rcgen::Script script;
    rcgen::Error error;
    EXPECT_TRUE(rcgen::ParseScript(ReadText(path), script, error)) << path << ":" << error.line << ": " << error.message;
    return script;
}

TEST(ResourceScript, ReadsEveryStatementOfTheSample) {
    rcgen::Script script = Parse(Source("tests/resources/sample.rc"));

    ASSERT_EQ(script.strings.size(), 2u);
    EXPECT_EQ(script.strings[0].id, 1u);
    EXPECT_EQ(script.strings[0].text, "say \"hi\"\tthen\\now\nend");
    EXPECT_EQ(script.strings[1].text, "日本語");

    ASSERT_EQ(script.menus.size(), 1u);
    EXPECT_EQ(script.menus[0].id, 7u);
    const std::vector<MenuNode>& top = script.menus[0].items;
    ASSERT_EQ(top.size(), 2u);
    ASSERT_EQ(top[0].kind, MenuNode::Kind::Popup);
    EXPECT_EQ(top[0].text, "&File");
    ASSERT_EQ(top[0].items.size(), 3u);
    EXPECT_EQ(top[0].items[0].kind, MenuNode::Kind::Command);
    EXPECT_EQ(top[0].items[0].id, 100u);
    EXPECT_EQ(top[0].items[0].text, "&Open...\tCtrl+O");
    EXPECT_EQ(top[0].items[1].kind, MenuNode::Kind::Separator);
    ASSERT_EQ(top[0].items[2].kind, MenuNode::Kind::Popup);
    ASSERT_EQ(top[0].items[2].items.size(), 1u);
    EXPECT_EQ(top[0].items[2].items[0].text, "A && B");   // "&&" is the menu's business, not the script's
    EXPECT_EQ(top[1].kind, MenuNode::Kind::Command);
    EXPECT_EQ(top[1].id, 200u);

    ASSERT_EQ(script.icons.size(), 1u);
    EXPECT_EQ(script.icons[0].id, 5u);
    EXPECT_EQ(script.icons[0].file, "../../resources/RwOption.ico");
    ASSERT_EQ(script.manifests.size(), 1u);
    EXPECT_EQ(script.manifests[0].id, 1u);

    ASSERT_EQ(script.versions.size(), 1u);
    const rcgen::VersionResource& version = script.versions[0];
    EXPECT_EQ(std::vector<int>(std::begin(version.fileVersion), std::end(version.fileVersion)), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(std::vector<int>(std::begin(version.productVersion), std::end(version.productVersion)),
              (std::vector<int>{5, 6, 7, 8}));
    // In the order of the Translation value, not of the string blocks.
    ASSERT_EQ(version.translations.size(), 2u);
    EXPECT_EQ(version.translations[0].language, 0x0411);
    EXPECT_EQ(version.translations[0].codePage, 1200);
    ASSERT_EQ(version.translations[0].values.size(), 2u);
    EXPECT_EQ(version.translations[0].values[0].value, "1.2 日本");
    EXPECT_EQ(version.translations[0].values[1].name, "Comments");
    EXPECT_EQ(version.translations[0].values[1].value, "");
    EXPECT_EQ(version.translations[1].language, 0x0409);
    EXPECT_EQ(version.translations[1].values[0].value, "1.2 en");
}

TEST(ResourceScript, RefusesWhatItDoesNotKnowAtItsLine) {
    const std::string utf8 = "#pragma code_page(65001)\n";
    struct Case {
        const char* name;
        std::string script;
        int line;
        const char* message;
    } cases[] = {
        {"another resource type", "\n1 DIALOG 0, 0, 10, 10\n", 2, "unsupported resource type"},
        {"an include", "// x\n#include \"a.h\"\n", 2, "unsupported directive"},
        {"a define", "#define X 1\n", 1, "unsupported directive"},
        {"another code page", "#pragma code_page(932)\n", 1, "only code page 65001"},
        {"Japanese without the code page", "STRINGTABLE\nBEGIN\n1 \"日本\"\nEND\n", 3, "needs #pragma code_page(65001)"},
        {"broken UTF-8", utf8 + "STRINGTABLE BEGIN 1 \"\xE6\x97\" END\n", 2, "not valid UTF-8"},
        {"unterminated string", "STRINGTABLE\nBEGIN\n1 \"abc\nEND\n", 3, "unterminated string"},
        {"unknown escape", "STRINGTABLE BEGIN\n1 \"a\\qb\"\nEND\n", 2, "unsupported escape \"\\q\""},
        {"unterminated comment", "/* a\n\n", 1, "unterminated comment"},
        {"a stray word", "\n\nICONS\n", 3, "expected a statement"},
        {"a named language", "LANGUAGE LANG_JAPANESE, SUBLANG_DEFAULT\n", 1, "expected a primary language"},
        {"a string twice", "STRINGTABLE BEGIN\n1 \"a\"\n1 \"b\"\nEND\n", 3, "string 1 is defined twice"},
        {"an icon twice", "1 ICON \"a.ico\"\n1 ICON \"b.ico\"\n", 2, "icon 1 is defined twice"},
        {"an id too large", "70000 ICON \"a.ico\"\n", 1, "too large"},
        {"menu item options", "1 MENU BEGIN POPUP \"x\" BEGIN\nMENUITEM \"a\", 5, GRAYED\nEND END\n", 2,
         "options are not supported"},
        {"an empty popup", "1 MENU\nBEGIN\nPOPUP \"x\" BEGIN END\nEND\n", 3, "at least one item"},
        {"a menu without its END", "1 MENU\nBEGIN\nMENUITEM \"a\", 5\n", 4, "found the end of the script"},
        {"a command without its id", "1 MENU BEGIN\nMENUITEM \"a\"\nEND\n", 3, "expected ','"},
        {"another version id", "\n2 VERSIONINFO\nBEGIN\nEND\n", 2, "must have id 1"},
        {"a version block without its parts", "1 VERSIONINFO\nFILEVERSION 1,2\nBEGIN\nEND\n", 3, "expected ','"},
        {"a translation without strings",
         "1 VERSIONINFO\nBEGIN\nBLOCK \"VarFileInfo\"\nBEGIN\nVALUE \"Translation\", 0x409, 1200\nEND\nEND\n", 3,
         "translation 040904b0 has no string block"},
        {"strings without a translation",
         "1 VERSIONINFO\nBEGIN\nBLOCK \"StringFileInfo\"\nBEGIN\nBLOCK \"040904b0\"\nBEGIN\nEND\nEND\nEND\n", 1,
         "missing from the Translation value"},
        {"a string block name that is no language",
         "1 VERSIONINFO\nBEGIN\nBLOCK \"StringFileInfo\"\nBEGIN\nBLOCK \"0409\"\n", 5, "eight hex digits"},
    };
    for (const Case& c : cases) {
        rcgen::Script script;
        rcgen::Error error;
        EXPECT_FALSE(rcgen::ParseScript(c.script, script, error)) << c.name;
        EXPECT_EQ(error.line, c.line) << c.name << ": " << error.message;
        EXPECT_NE(error.message.find(c.message), std::string::npos) << c.name << ": " << error.message;
    }
}

// Little-endian fields of an icon file, for the corruptions below.
void PutWord(std::vector<std::uint8_t>& bytes, std::size_t at, unsigned value) {
    bytes[at] = value & 0xFF;
    bytes[at + 1] = (value >> 8) & 0xFF;
}

void PutDword(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    PutWord(bytes, at, value & 0xFFFF);
    PutWord(bytes, at + 2, value >> 16);
}

TEST(IconFile, ReadsThePicturesAndRefusesAnyOtherLayout) {
    const std::vector<std::uint8_t> good = ReadBytes(Source("resources/RwServer.ico"));
    std::vector<rcgen::IconPicture> pictures;
    std::string error;
    ASSERT_TRUE(rcgen::ParseIcon(good, pictures, error)) << error;
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(pictures[0].width, 16);
    EXPECT_EQ(pictures[1].height, 32);

    const std::size_t firstImage = good[6 + 12] | (good[6 + 13] << 8);   // the first entry's offset
    struct Case {
        const char* name;
        void (*spoil)(std::vector<std::uint8_t>&, std::size_t image);
        const char* message;
    } cases[] = {
        {"a cursor file", [](auto& b, std::size_t) { PutWord(b, 2, 2); }, "not an icon file"},
        {"no picture", [](auto& b, std::size_t) { PutWord(b, 4, 0); }, "holds no picture"},
        {"a directory cut short", [](auto& b, std::size_t) { b.resize(20); }, "cut short"},
        {"8 bits in the directory", [](auto& b, std::size_t) { PutWord(b, 6 + 6, 8); }, "16 colours"},
        {"a size that disagrees", [](auto& b, std::size_t) { PutDword(b, 6 + 8, 300); }, "holds 300 bytes"},
        {"the last picture cut off", [](auto& b, std::size_t) { b.pop_back(); }, "picture 2: lies outside the file"},
        {"a header without the mask", [](auto& b, std::size_t i) { PutDword(b, i + 8, 16); }, "bitmap header"},
        {"an 8-bit bitmap", [](auto& b, std::size_t i) { PutWord(b, i + 14, 8); }, "bitmap header"},
        {"a compressed bitmap", [](auto& b, std::size_t i) { PutDword(b, i + 16, 2); }, "bitmap header"},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = good;
        c.spoil(bytes, firstImage);
        EXPECT_FALSE(rcgen::ParseIcon(bytes, pictures, error)) << c.name;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.name << ": " << error;
    }
}

class TemporaryFolder {
public:
    TemporaryFolder() {
        char path[] = "/tmp/rcgen_test.XXXXXX";
        path_ = mkdtemp(path) != nullptr ? path : "";
    }
    ~TemporaryFolder() {
        for (const std::string& file : files_) unlink(file.c_str());
        rmdir(path_.c_str());
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    std::string Write(const std::string& name, const std::string& text) {
        std::string file = path_ + "/" + name;
        std::ofstream(file, std::ios::binary) << text;
        files_.push_back(file);
        return file;
    }

private:
    std::string path_;
    std::vector<std::string> files_;
};

TEST(GenerateTable, ReportsFilesThatAreMissingOrWrongAtTheirLine) {
    TemporaryFolder folder;
    folder.Write("bad.ico", "not a picture");
    struct Case {
        const char* script;
        int line;
        const char* message;
    } cases[] = {
        {"1 ICON \"missing.ico\"\n", 1, "cannot read icon file \"missing.ico\""},
        {"\n2 ICON \"bad.ico\"\n", 2, "icon file \"bad.ico\": not an icon file"},
        {"1 24 \"missing.manifest\"\n", 1, "cannot read manifest file"},
    };
    for (const Case& c : cases) {
        rcgen::GeneratedTable table;
        rcgen::Error error;
        EXPECT_FALSE(rcgen::GenerateTable(folder.Write("script.rc", c.script), "", table, error)) << c.script;
        EXPECT_EQ(error.line, c.line) << c.script;
        EXPECT_NE(error.message.find(c.message), std::string::npos) << error.message;
    }
}

TEST(GenerateTable, ListsTheScriptAndTheFilesItNames) {
    rcgen::GeneratedTable table;
    rcgen::Error error;
    const std::string script = Source("tests/resources/sample.rc");
    ASSERT_TRUE(rcgen::GenerateTable(script, "", table, error)) << error.message;
    EXPECT_EQ(table.inputs, (std::vector<std::string>{script, Source("tests/resources/../../resources/RwOption.ico"),
                                                      Source("tests/resources/../../resources/RwOption.manifest")}));
}

// The table that the build generated from the sample script and compiled into this program.
TEST(GeneratedTable, HoldsTheSampleAsWritten) {
    const win32::rc::Table& table = g_sampleTable;
    ASSERT_EQ(table.stringCount, 2u);
    EXPECT_STREQ(table.strings[0].text, "say \"hi\"\tthen\\now\nend");
    EXPECT_STREQ(table.strings[1].text, "日本語");
    char loaded[64] = {};
    EXPECT_EQ(win32::LoadStringA(win32::GetModuleHandleA(nullptr), 1, loaded, sizeof loaded), 21);
    EXPECT_STREQ(loaded, table.strings[0].text);

    ASSERT_EQ(table.menuCount, 1u);
    EXPECT_EQ(table.menus[0].id, 7u);
    ASSERT_EQ(table.menus[0].itemCount, 2u);
    const win32::rc::MenuItem& file = table.menus[0].items[0];
    EXPECT_STREQ(file.text, "&File");
    ASSERT_EQ(file.itemCount, 3u);
    EXPECT_EQ(file.items[0].id, 100u);
    EXPECT_STREQ(file.items[0].text, "&Open...\tCtrl+O");
    EXPECT_EQ(file.items[0].items, nullptr);
    EXPECT_EQ(file.items[1].text, nullptr);    // the separator
    EXPECT_EQ(file.items[1].items, nullptr);
    ASSERT_EQ(file.items[2].itemCount, 1u);
    EXPECT_EQ(file.items[2].items[0].id, 101u);
    EXPECT_STREQ(file.items[2].items[0].text, "A && B");
    EXPECT_EQ(table.menus[0].items[1].id, 200u);
    EXPECT_EQ(table.menus[0].items[1].items, nullptr);

    ASSERT_EQ(table.iconCount, 1u);
    EXPECT_EQ(table.icons[0].id, 5u);
    EXPECT_EQ(std::vector<std::uint8_t>(table.icons[0].data, table.icons[0].data + table.icons[0].size),
              ReadBytes(Source("resources/RwOption.ico")));

    ASSERT_NE(table.version, nullptr);
    EXPECT_EQ(table.version->fileVersion[3], 4);
    EXPECT_EQ(table.version->productVersion[0], 5);
    ASSERT_EQ(table.version->translationCount, 2u);
    const win32::rc::VersionTranslation& japanese = table.version->translations[0];
    EXPECT_EQ(japanese.language, 0x0411);
    EXPECT_EQ(japanese.codePage, 0x04B0);
    ASSERT_EQ(japanese.valueCount, 2u);
    EXPECT_STREQ(japanese.values[0].value, "1.2 日本");
    EXPECT_STREQ(japanese.values[1].value, "");
    EXPECT_EQ(table.version->translations[1].language, 0x0409);
}

// The pictures' sizes matter to the shell: the tray loads 16-pixel pictures, dialogs the
// 32-pixel program icon.
std::vector<std::vector<rcgen::IconPicture>> Pictures(const std::string& script, const std::vector<unsigned>& ids) {
    rcgen::Script parsed = Parse(Source("resources/" + script));
    std::vector<std::vector<rcgen::IconPicture>> found;
    for (unsigned id : ids) {
        std::vector<rcgen::IconPicture> pictures;
        for (const rcgen::FileResource& icon : parsed.icons) {
            std::string error;
            if (icon.id != id) continue;
            EXPECT_TRUE(rcgen::ParseIcon(ReadBytes(Source("resources/" + icon.file)), pictures, error)) << icon.file << error;
        }
        found.push_back(std::move(pictures));
    }
    return found;
}

std::vector<int> Sizes(const std::vector<rcgen::IconPicture>& pictures) {
    std::vector<int> sizes;
    for (const rcgen::IconPicture& picture : pictures) {
        EXPECT_EQ(picture.width, picture.height);
        EXPECT_EQ(picture.bitCount, 4);
        sizes.push_back(picture.width);
    }
    return sizes;
}

TEST(ProgramResources, IconsHaveTheirSizesAndTheActivityPicturesDiffer) {
    auto server = Pictures("RwServer.rc", {101, 104, 105, 106, 107, 108});
    EXPECT_EQ(Sizes(server[0]), (std::vector<int>{16, 32}));
    for (std::size_t i = 1; i < server.size(); ++i) {
        EXPECT_EQ(Sizes(server[i]), (std::vector<int>{16})) << "icon " << 103 + i;
        for (std::size_t k = 1; k < i; ++k) {
            if (server[i].empty() || server[k].empty()) continue;
            EXPECT_NE(server[i][0].image, server[k][0].image) << "icons " << 103 + i << " and " << 103 + k;
        }
    }
    auto option = Pictures("RwOption.rc", {101});
    EXPECT_EQ(Sizes(option[0]), (std::vector<int>{32}));
}

TEST(ProgramResources, ServerMenuHasTheTrayCommands) {
    rcgen::Script script = Parse(Source("resources/RwServer.rc"));
    ASSERT_EQ(script.menus.size(), 1u);
    EXPECT_EQ(script.menus[0].id, 101u);
    ASSERT_EQ(script.menus[0].items.size(), 1u);
    const MenuNode& popup = script.menus[0].items[0];
    EXPECT_EQ(popup.text, " ");
    ASSERT_EQ(popup.items.size(), 4u);
    EXPECT_EQ(popup.items[0].id, 40008u);
    EXPECT_EQ(popup.items[0].text, "接続設定(&O)...");
    EXPECT_EQ(popup.items[1].id, 40004u);
    EXPECT_EQ(popup.items[1].text, "バージョン情報(&A)...");
    EXPECT_EQ(popup.items[2].kind, MenuNode::Kind::Separator);
    EXPECT_EQ(popup.items[3].id, 40001u);
    EXPECT_EQ(popup.items[3].text, "終了(&X)");
}

}  // namespace
