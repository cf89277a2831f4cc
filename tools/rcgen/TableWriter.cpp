// Writes the resource table as constant data: one array per list, children before the menus
// that point to them, and the .ico files byte for byte, so that the layer reads the same icon
// groups as Windows reads from the program file.
#include "TableWriter.h"

#include "IconFile.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace rcgen {

namespace {

bool ReadFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileName(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A C++ string literal of the UTF-8 text. Control characters are written as three-digit octal
// escapes, which cannot run into the characters after them as hex escapes would.
std::string Literal(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\%03o", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

class Writer {
public:
    explicit Writer(std::ostringstream& out) : out_(out) {}

    void Strings(const std::vector<StringResource>& strings) {
        out_ << "const win32::rc::StringEntry kStrings[] = {\n";
        for (const StringResource& entry : strings) out_ << "    {" << entry.id << ", " << Literal(entry.text) << "},\n";
        out_ << "};\n\n";
    }

    // Writes the items' array under the name and returns what a parent's entry refers to.
    std::string MenuItems(const std::vector<MenuNode>& items, const std::string& name) {
        if (items.empty()) return "nullptr, 0";
        std::vector<std::string> children(items.size());
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (items[i].kind == MenuNode::Kind::Popup) children[i] = MenuItems(items[i].items, name + "_" + std::to_string(i));
        }
        out_ << "const win32::rc::MenuItem " << name << "[] = {\n";
        for (std::size_t i = 0; i < items.size(); ++i) {
            const MenuNode& item = items[i];
            switch (item.kind) {
                case MenuNode::Kind::Command:
                    out_ << "    {" << item.id << ", " << Literal(item.text) << ", nullptr, 0},\n";
                    break;
                case MenuNode::Kind::Separator:
                    out_ << "    {0, nullptr, nullptr, 0},\n";
                    break;
                case MenuNode::Kind::Popup:
                    out_ << "    {0, " << Literal(item.text) << ", " << children[i] << "},\n";
                    break;
            }
        }
        out_ << "};\n";
        return name + ", std::size(" + name + ")";
    }

    void Menus(const std::vector<MenuResource>& menus) {
        std::vector<std::string> refs;
        for (const MenuResource& menu : menus) refs.push_back(MenuItems(menu.items, "kMenu" + std::to_string(menu.id)));
        out_ << "const win32::rc::MenuResource kMenus[] = {\n";
        for (std::size_t i = 0; i < menus.size(); ++i) out_ << "    {" << menus[i].id << ", " << refs[i] << "},\n";
        out_ << "};\n\n";
    }

    void Icons(const std::vector<FileResource>& icons, const std::vector<std::vector<std::uint8_t>>& data) {
        for (std::size_t i = 0; i < icons.size(); ++i) {
            out_ << "// " << icons[i].file << "\nconst win32::BYTE kIcon" << icons[i].id << "[] = {";
            for (std::size_t k = 0; k < data[i].size(); ++k) {
                char byte[8];
                std::snprintf(byte, sizeof byte, "0x%02x,", data[i][k]);
                out_ << (k % 16 == 0 ? "\n    " : " ") << byte;
            }
            out_ << "\n};\n";
        }
        out_ << "const win32::rc::IconResource kIcons[] = {\n";
        for (const FileResource& icon : icons) out_ << "    {" << icon.id << ", kIcon" << icon.id << ", sizeof kIcon" << icon.id << "},\n";
        out_ << "};\n\n";
    }

    void Version(const VersionResource& version) {
        for (std::size_t i = 0; i < version.translations.size(); ++i) {
            if (version.translations[i].values.empty()) continue;
            out_ << "const win32::rc::VersionValue kVersionValues" << i << "[] = {\n";
            for (const VersionValue& value : version.translations[i].values) {
                out_ << "    {" << Literal(value.name) << ", " << Literal(value.value) << "},\n";
            }
            out_ << "};\n";
        }
        std::string translations = "nullptr, 0";
        if (!version.translations.empty()) {
            out_ << "const win32::rc::VersionTranslation kTranslations[] = {\n";
            for (std::size_t i = 0; i < version.translations.size(); ++i) {
                const VersionTranslation& t = version.translations[i];
                char ids[32];
                std::snprintf(ids, sizeof ids, "0x%04x, 0x%04x", t.language, t.codePage);
                std::string values = "kVersionValues" + std::to_string(i);
                out_ << "    {" << ids << ", " << (t.values.empty() ? "nullptr, 0" : values + ", std::size(" + values + ")")
                     << "},\n";
            }
            out_ << "};\n";
            translations = "kTranslations, std::size(kTranslations)";
        }
        out_ << "const win32::rc::VersionBlock kVersion = {\n    " << Parts(version.fileVersion) << ",\n    "
             << Parts(version.productVersion) << ",\n    " << translations << ",\n};\n\n";
    }

private:
    static std::string Parts(const std::uint16_t (&parts)[4]) {
        return "{" + std::to_string(parts[0]) + ", " + std::to_string(parts[1]) + ", " + std::to_string(parts[2]) + ", " +
               std::to_string(parts[3]) + "}";
    }

    std::ostringstream& out_;
};

// Loads and checks every icon; a manifest only has to be there, as the POSIX table leaves it out.
bool LoadFiles(const Script& script, const std::string& folder, std::vector<std::vector<std::uint8_t>>& icons,
               std::vector<std::string>& inputs, Error& error) {
    for (const FileResource& icon : script.icons) {
        inputs.push_back(folder + icon.file);
        std::vector<std::uint8_t> bytes;
        std::vector<IconPicture> pictures;
        std::string reason;
        if (!ReadFile(folder + icon.file, bytes)) {
            error = {icon.line, "cannot read icon file \"" + icon.file + "\""};
            return false;
        }
        if (!ParseIcon(bytes, pictures, reason)) {
            error = {icon.line, "icon file \"" + icon.file + "\": " + reason};
            return false;
        }
        icons.push_back(std::move(bytes));
    }
    for (const FileResource& manifest : script.manifests) {
        inputs.push_back(folder + manifest.file);
        std::vector<std::uint8_t> bytes;
        if (!ReadFile(folder + manifest.file, bytes) || bytes.empty()) {
            error = {manifest.line, "cannot read manifest file \"" + manifest.file + "\""};
            return false;
        }
    }
    return true;
}

}  // namespace

bool GenerateTable(const std::string& scriptPath, const std::string& tableName, GeneratedTable& table, Error& error) {
    table = GeneratedTable{};
    table.inputs.push_back(scriptPath);
    std::vector<std::uint8_t> text;
    if (!ReadFile(scriptPath, text)) {
        error = {0, "cannot read the script"};
        return false;
    }
    Script script;
    if (!ParseScript(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()), script, error)) return false;
    std::vector<std::vector<std::uint8_t>> icons;
    if (!LoadFiles(script, FolderOf(scriptPath), icons, table.inputs, error)) return false;

    std::ostringstream out;
    out << "// The POSIX resource table, generated by rcgen from " << FileName(scriptPath)
        << ". Edit the script, not this file.\n"
        << "#include \"platform/win32.h\"\n\n#include <iterator>\n\nnamespace {\n\n";
    Writer writer(out);
    if (!script.strings.empty()) writer.Strings(script.strings);
    if (!script.menus.empty()) writer.Menus(script.menus);
    if (!script.icons.empty()) writer.Icons(script.icons, icons);
    if (!script.versions.empty()) writer.Version(script.versions.front());

    const std::string name = tableName.empty() ? "kTable" : tableName;
    if (!tableName.empty()) out << "}  // namespace\n\nextern const win32::rc::Table " << name << ";\n";
    out << "const win32::rc::Table " << name << " = {\n";
    if (!script.strings.empty()) out << "    .strings = kStrings,\n    .stringCount = std::size(kStrings),\n";
    if (!script.versions.empty()) out << "    .version = &kVersion,\n";
    if (!script.menus.empty()) out << "    .menus = kMenus,\n    .menuCount = std::size(kMenus),\n";
    if (!script.icons.empty()) out << "    .icons = kIcons,\n    .iconCount = std::size(kIcons),\n";
    out << "};\n\n";
    if (!tableName.empty()) out << "namespace {\n\n";
    out << "const win32::rc::Registration kRegistration(" << name << ");\n\n}  // namespace\n";
    table.source = out.str();
    return true;
}

}  // namespace rcgen
