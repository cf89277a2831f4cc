// The reader of resource scripts: a tokenizer that also handles comments, the code-page pragma
// and the string escapes, and a recursive-descent parser of the statements our scripts use.
// Whatever it does not know is an error, so that a typo fails the build instead of silently
// giving the POSIX build other resources than the Windows build gets from windres.
#include "ResourceScript.h"

#include <cstdio>
#include <cstdlib>
#include <set>
#include <strings.h>
#include <utility>

namespace rcgen {

namespace {

constexpr unsigned CodePageUtf8 = 65001;
constexpr unsigned ManifestType = 24;   // RT_MANIFEST
constexpr unsigned VersionId = 1;       // VS_VERSION_INFO: the only id the version functions read

struct Token {
    enum class Kind { Word, Number, String, Comma, Begin, End, Pragma, Eof };
    Kind kind = Kind::Eof;
    std::string text;     // a word or number as written, a string decoded
    unsigned long number = 0;   // a number's value, the code page of a pragma
    int line = 0;
};

bool IsWordChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// True when the text is well-formed UTF-8; the table hands texts on as UTF-8 unchanged.
bool IsUtf8(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        auto lead = static_cast<unsigned char>(text[i]);
        std::size_t follow = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : 4;
        if (follow == 4 || follow >= text.size() - i) return false;
        for (std::size_t k = 1; k <= follow; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        i += follow + 1;
    }
    return true;
}

class Tokenizer {
public:
    explicit Tokenizer(std::string_view text) : text_(text) {}

    bool Run(std::vector<Token>& tokens, Error& error) {
        while (SkipBlanks(error)) {
            if (pos_ >= text_.size()) {
                tokens.push_back({Token::Kind::Eof, {}, 0, line_});
                return true;
            }
            Token token;
            if (!Next(token, error)) return false;
            tokens.push_back(std::move(token));
        }
        return false;
    }

private:
    bool Fail(Error& error, std::string message) {
        error = {line_, std::move(message)};
        return false;
    }

    // Skips blanks, line ends and comments; false only for an unterminated block comment.
    bool SkipBlanks(Error& error) {
        while (pos_ < text_.size()) {
            char c = text_[pos_];
            if (c == '\n') {
                ++line_;
                atLineStart_ = true;
                ++pos_;
            } else if (c == ' ' || c == '\t' || c == '\r') {
                ++pos_;
            } else if (text_.substr(pos_, 2) == "//") {
                while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
            } else if (text_.substr(pos_, 2) == "/*") {
                std::size_t end = text_.find("*/", pos_ + 2);
                if (end == std::string_view::npos) return Fail(error, "unterminated comment");
                for (std::size_t i = pos_; i < end; ++i) line_ += text_[i] == '\n' ? 1 : 0;
                pos_ = end + 2;
            } else {
                return true;
            }
        }
        return true;
    }

    bool Next(Token& token, Error& error) {
        token.line = line_;
        bool lineStart = std::exchange(atLineStart_, false);
        char c = text_[pos_];
        if (c == '#') return lineStart ? Directive(token, error) : Fail(error, "'#' inside a line");
        if (c == '"') return String(token, error);
        if (c == ',') return Single(token, Token::Kind::Comma);
        if (c == '{') return Single(token, Token::Kind::Begin);
        if (c == '}') return Single(token, Token::Kind::End);
        if (!IsWordChar(c)) return Fail(error, std::string("unexpected character '") + c + "'");
        std::size_t start = pos_;
        while (pos_ < text_.size() && IsWordChar(text_[pos_])) ++pos_;
        token.text = std::string(text_.substr(start, pos_ - start));
        if (c >= '0' && c <= '9') return Number(token, error);
        if (strcasecmp(token.text.c_str(), "BEGIN") == 0) token.kind = Token::Kind::Begin;
        else if (strcasecmp(token.text.c_str(), "END") == 0) token.kind = Token::Kind::End;
        else token.kind = Token::Kind::Word;
        return true;
    }

    bool Single(Token& token, Token::Kind kind) {
        token.kind = kind;
        token.text = std::string(1, text_[pos_++]);
        return true;
    }

    bool Number(Token& token, Error& error) {
        const std::string& text = token.text;
        bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        char* end = nullptr;
        token.number = std::strtoul(text.c_str(), &end, hex ? 16 : 10);
        if (*end != '\0' || text.size() > 10) return Fail(error, "invalid number \"" + text + "\"");
        token.kind = Token::Kind::Number;
        return true;
    }

    // Only "#pragma code_page(N)"; a preprocessor would be needed for anything else.
    bool Directive(Token& token, Error& error) {
        std::size_t end = text_.find('\n', pos_);
        std::string line(text_.substr(pos_, end == std::string_view::npos ? end : end - pos_));
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        unsigned codePage = 0;
        int used = 0;
        if (std::sscanf(line.c_str(), "#pragma code_page ( %u )%n", &codePage, &used) != 1 ||
            used != static_cast<int>(line.size())) {
            return Fail(error, "unsupported directive \"" + line + "\"; only #pragma code_page(65001) is known");
        }
        pos_ += line.size();
        token.kind = Token::Kind::Pragma;
        token.number = codePage;
        return true;
    }

    // Decodes the escapes as windres does: "" is a quote; \n, \r, \t and \\ stand for the line
    // feed, carriage return, tab and backslash. Other escapes are refused rather than guessed.
    bool String(Token& token, Error& error) {
        ++pos_;
        while (true) {
            if (pos_ >= text_.size() || text_[pos_] == '\n') return Fail(error, "unterminated string");
            char c = text_[pos_++];
            if (c == '"') {
                if (pos_ < text_.size() && text_[pos_] == '"') {
                    token.text += '"';
                    ++pos_;
                    continue;
                }
                break;
            }
            if (c != '\\') {
                token.text += c;
                continue;
            }
            char escaped = pos_ < text_.size() ? text_[pos_++] : '\0';
            switch (escaped) {
                case 'n': token.text += '\n'; break;
                case 'r': token.text += '\r'; break;
                case 't': token.text += '\t'; break;
                case '\\': token.text += '\\'; break;
                default: return Fail(error, std::string("unsupported escape \"\\") + escaped + "\" in a string");
            }
        }
        if (!IsUtf8(token.text)) return Fail(error, "string is not valid UTF-8");
        token.kind = Token::Kind::String;
        return true;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    int line_ = 1;
    bool atLineStart_ = true;
};

std::string Describe(const Token& token) {
    switch (token.kind) {
        case Token::Kind::Eof: return "the end of the script";
        case Token::Kind::String: return "string \"" + token.text + "\"";
        case Token::Kind::Pragma: return "#pragma";
        default: return "\"" + token.text + "\"";
    }
}

class Parser {
public:
    Parser(std::vector<Token> tokens, Script& script, Error& error)
        : tokens_(std::move(tokens)), script_(script), error_(error) {}

    bool Run() {
        while (Peek().kind != Token::Kind::Eof) {
            if (!Statement()) return false;
        }
        return true;
    }

private:
    const Token& Peek() const { return tokens_[pos_]; }
    const Token& Take() { return tokens_[pos_ < tokens_.size() - 1 ? pos_++ : pos_]; }

    bool Fail(const Token& at, std::string message) { return FailAt(at.line, std::move(message)); }

    bool FailAt(int line, std::string message) {
        error_ = {line, std::move(message)};
        return false;
    }

    bool IsWord(const Token& token, const char* word) const {
        return token.kind == Token::Kind::Word && strcasecmp(token.text.c_str(), word) == 0;
    }

    bool Expect(Token::Kind kind, const char* what, const char* context) {
        if (Peek().kind == kind) {
            Take();
            return true;
        }
        return Fail(Peek(), std::string("expected ") + what + " " + context + ", found " + Describe(Peek()));
    }

    bool ExpectWord(const char* word, const char* context) {
        if (IsWord(Peek(), word)) {
            Take();
            return true;
        }
        return Fail(Peek(), std::string("expected ") + word + " " + context + ", found " + Describe(Peek()));
    }

    bool Number(unsigned long limit, const char* what, unsigned long& value) {
        if (Peek().kind != Token::Kind::Number) {
            return Fail(Peek(), std::string("expected ") + what + ", found " + Describe(Peek()));
        }
        if (Peek().number > limit) return Fail(Peek(), std::string(what) + " " + Peek().text + " is too large");
        value = Take().number;
        return true;
    }

    bool Id(const char* what, unsigned& id) {
        unsigned long value = 0;
        if (!Number(0xFFFF, what, value)) return false;
        id = static_cast<unsigned>(value);
        return true;
    }

    bool Text(const char* what, std::string& text) {
        if (Peek().kind != Token::Kind::String) {
            return Fail(Peek(), std::string("expected ") + what + ", found " + Describe(Peek()));
        }
        const Token& token = Take();
        bool ascii = true;
        for (char c : token.text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        if (!ascii && codePage_ != CodePageUtf8) {
            return Fail(token, "text outside ASCII needs #pragma code_page(65001) before it");
        }
        text = token.text;
        return true;
    }

    bool Statement() {
        const Token& first = Peek();
        if (first.kind == Token::Kind::Pragma) {
            if (first.number != CodePageUtf8) return Fail(first, "only code page 65001 (UTF-8) is supported");
            codePage_ = Take().number;
            return true;
        }
        if (IsWord(first, "LANGUAGE")) return Language();
        if (IsWord(first, "STRINGTABLE")) return StringTable();
        if (first.kind != Token::Kind::Number) {
            return Fail(first, "expected a statement (LANGUAGE, STRINGTABLE or a resource id), found " + Describe(first));
        }
        unsigned id = 0;
        if (!Id("a resource id", id)) return false;
        const int line = first.line;
        const Token& type = Take();
        if (IsWord(type, "MENU")) return Menu(id, line);
        if (IsWord(type, "ICON")) return File(id, line, "icon", iconIds_, script_.icons);
        if (IsWord(type, "VERSIONINFO")) return Version(id, line);
        if (type.kind == Token::Kind::Number && type.number == ManifestType) {
            return File(id, line, "manifest", manifestIds_, script_.manifests);
        }
        return Fail(type, "unsupported resource type " + Describe(type));
    }

    // The language of what follows. The POSIX table has one language per module, so the value
    // only has to be well formed.
    bool Language() {
        Take();
        unsigned long value = 0;
        return Number(0x3FF, "a primary language", value) && Expect(Token::Kind::Comma, "','", "in LANGUAGE") &&
               Number(0x3F, "a sublanguage", value);
    }

    bool StringTable() {
        Take();
        if (!Expect(Token::Kind::Begin, "BEGIN", "after STRINGTABLE")) return false;
        while (Peek().kind != Token::Kind::End) {
            StringResource entry;
            entry.line = Peek().line;
            if (!Id("a string id or END", entry.id)) return false;
            if (Peek().kind == Token::Kind::Comma) Take();
            if (!Text("the string's text", entry.text)) return false;
            if (!stringIds_.insert(entry.id).second) {
                return Fail(tokens_[pos_ - 1], "string " + std::to_string(entry.id) + " is defined twice");
            }
            script_.strings.push_back(std::move(entry));
        }
        Take();
        return true;
    }

    bool NewId(std::set<unsigned>& ids, unsigned id, int line, const char* kind) {
        if (ids.insert(id).second) return true;
        return FailAt(line, std::string(kind) + " " + std::to_string(id) + " is defined twice");
    }

    bool Menu(unsigned id, int line) {
        if (!NewId(menuIds_, id, line, "menu")) return false;
        MenuResource menu{id, {}, line};
        if (!Expect(Token::Kind::Begin, "BEGIN", "after MENU") || !MenuItems(menu.items)) return false;
        script_.menus.push_back(std::move(menu));
        return true;
    }

    // Items up to and including the END of their block.
    bool MenuItems(std::vector<MenuNode>& items) {
        while (Peek().kind != Token::Kind::End) {
            MenuNode node;
            if (IsWord(Peek(), "POPUP")) {
                node.kind = MenuNode::Kind::Popup;
                const Token& popup = Take();
                if (!Text("the popup's text", node.text) ||
                    !Expect(Token::Kind::Begin, "BEGIN", "after the popup's text") || !MenuItems(node.items)) {
                    return false;
                }
                // The table tells a popup from a command by its items.
                if (node.items.empty()) return Fail(popup, "a popup needs at least one item");
            } else if (IsWord(Peek(), "MENUITEM")) {
                Take();
                if (IsWord(Peek(), "SEPARATOR")) {
                    Take();
                    node.kind = MenuNode::Kind::Separator;
                } else if (!Text("the item's text or SEPARATOR", node.text) ||
                           !Expect(Token::Kind::Comma, "','", "after the item's text") || !Id("a command id", node.id)) {
                    return false;
                }
                if (Peek().kind == Token::Kind::Comma) {
                    return Fail(Peek(), "menu item options are not supported");
                }
            } else {
                return Fail(Peek(), "expected MENUITEM, POPUP or END in a menu, found " + Describe(Peek()));
            }
            items.push_back(std::move(node));
        }
        Take();
        return true;
    }

    bool File(unsigned id, int line, const char* kind, std::set<unsigned>& ids, std::vector<FileResource>& into) {
        if (!NewId(ids, id, line, kind)) return false;
        FileResource resource{id, {}, line};
        if (!Text("a file name", resource.file)) return false;
        into.push_back(std::move(resource));
        return true;
    }

    bool FourParts(std::uint16_t (&parts)[4], const char* what) {
        for (int i = 0; i < 4; ++i) {
            unsigned long value = 0;
            if (i > 0 && !Expect(Token::Kind::Comma, "','", what)) return false;
            if (!Number(0xFFFF, "a version part", value)) return false;
            parts[i] = static_cast<std::uint16_t>(value);
        }
        return true;
    }

    bool Version(unsigned id, int line) {
        if (id != VersionId) return FailAt(line, "the version block must have id 1");
        if (!script_.versions.empty()) return FailAt(line, "a second version block");
        VersionResource version;
        version.line = line;
        while (Peek().kind != Token::Kind::Begin) {
            if (IsWord(Peek(), "FILEVERSION")) {
                Take();
                if (!FourParts(version.fileVersion, "in FILEVERSION")) return false;
            } else if (IsWord(Peek(), "PRODUCTVERSION")) {
                Take();
                if (!FourParts(version.productVersion, "in PRODUCTVERSION")) return false;
            } else {
                return Fail(Peek(), "expected FILEVERSION, PRODUCTVERSION or BEGIN, found " + Describe(Peek()));
            }
        }
        Take();
        std::vector<VersionTranslation> blocks;
        std::vector<std::pair<std::uint16_t, std::uint16_t>> translations;
        int varLine = 0;
        while (Peek().kind != Token::Kind::End) {
            std::string name;
            int blockLine = Peek().line;
            if (!ExpectWord("BLOCK", "in VERSIONINFO") || !Text("a block name", name)) return false;
            if (name == "StringFileInfo") {
                if (!StringFileInfo(blocks)) return false;
            } else if (name == "VarFileInfo") {
                varLine = blockLine;
                if (!VarFileInfo(translations)) return false;
            } else {
                return Fail(tokens_[pos_ - 1], "unknown version block \"" + name + "\"");
            }
        }
        Take();
        if (!Pair(version, blocks, translations, varLine)) return false;
        script_.versions.push_back(std::move(version));
        return true;
    }

    bool StringFileInfo(std::vector<VersionTranslation>& blocks) {
        if (!Expect(Token::Kind::Begin, "BEGIN", "after BLOCK \"StringFileInfo\"")) return false;
        while (Peek().kind != Token::Kind::End) {
            std::string key;
            if (!ExpectWord("BLOCK", "in StringFileInfo") || !Text("a language and code page", key)) return false;
            unsigned language = 0, codePage = 0;
            int used = 0;
            if (key.size() != 8 || std::sscanf(key.c_str(), "%4x%4x%n", &language, &codePage, &used) != 2 || used != 8) {
                return Fail(tokens_[pos_ - 1], "\"" + key + "\" is not eight hex digits of language and code page");
            }
            VersionTranslation block{static_cast<std::uint16_t>(language), static_cast<std::uint16_t>(codePage), {}};
            if (!Expect(Token::Kind::Begin, "BEGIN", "after the string block's name")) return false;
            while (Peek().kind != Token::Kind::End) {
                VersionValue value;
                if (!ExpectWord("VALUE", "in a string block") || !Text("the value's name", value.name) ||
                    !Expect(Token::Kind::Comma, "','", "after the value's name") || !Text("the value's text", value.value)) {
                    return false;
                }
                block.values.push_back(std::move(value));
            }
            Take();
            blocks.push_back(std::move(block));
        }
        Take();
        return true;
    }

    bool VarFileInfo(std::vector<std::pair<std::uint16_t, std::uint16_t>>& translations) {
        std::string name;
        if (!Expect(Token::Kind::Begin, "BEGIN", "after BLOCK \"VarFileInfo\"") ||
            !ExpectWord("VALUE", "in VarFileInfo") || !Text("\"Translation\"", name)) {
            return false;
        }
        if (name != "Translation") return Fail(tokens_[pos_ - 1], "VarFileInfo holds only \"Translation\"");
        while (Peek().kind == Token::Kind::Comma) {
            Take();
            unsigned long language = 0, codePage = 0;
            if (!Number(0xFFFF, "a language id", language) || !Expect(Token::Kind::Comma, "','", "after the language id") ||
                !Number(0xFFFF, "a code page", codePage)) {
                return false;
            }
            translations.emplace_back(static_cast<std::uint16_t>(language), static_cast<std::uint16_t>(codePage));
        }
        return Expect(Token::Kind::End, "END", "after the translations");
    }

    // Our version functions read the strings through the translation table, as programs on
    // Windows do; a translation without its string block, or the reverse, is a mistake.
    bool Pair(VersionResource& version, std::vector<VersionTranslation>& blocks,
              const std::vector<std::pair<std::uint16_t, std::uint16_t>>& translations, int varLine) {
        std::vector<bool> taken(blocks.size(), false);
        for (const auto& [language, codePage] : translations) {
            std::size_t i = 0;
            while (i < blocks.size() && (taken[i] || blocks[i].language != language || blocks[i].codePage != codePage)) ++i;
            if (i == blocks.size()) {
                char key[16];
                std::snprintf(key, sizeof key, "%04x%04x", language, codePage);
                return FailAt(varLine, std::string("translation ") + key + " has no string block");
            }
            taken[i] = true;
            version.translations.push_back(std::move(blocks[i]));
        }
        if (version.translations.size() != blocks.size()) {
            return FailAt(version.line, "a string block is missing from the Translation value");
        }
        return true;
    }

    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    Script& script_;
    Error& error_;
    unsigned long codePage_ = 0;
    std::set<unsigned> stringIds_, menuIds_, iconIds_, manifestIds_;
};

}  // namespace

bool ParseScript(std::string_view text, Script& script, Error& error) {
    std::vector<Token> tokens;
    if (!Tokenizer(text).Run(tokens, error)) return false;
    script = Script{};
    return Parser(std::move(tokens), script, error).Run();
}

}  // namespace rcgen
