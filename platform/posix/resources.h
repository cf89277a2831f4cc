// The resource table of a module: what a Windows resource script compiles into a program file.
// A module (the executable, a shared library) defines one table as constant data and registers
// it at static initialisation; the layer finds the module from the table's address, so each
// module's LoadStringA, version functions and, later, menus and icons see their own table.
#pragma once

#include "platform/posix/types.h"

#include <cstddef>

namespace win32::rc {

// One string-table entry; the text is UTF-8 and is handed out in the ANSI code page.
struct StringEntry {
    UINT id;
    const char* text;
};

// One value of a version block's string table, e.g. "FileVersion" = "2.00" (UTF-8).
struct VersionValue {
    const char* name;
    const char* value;
};

// The string values of one translation (language id and code page, as in "041104b0").
struct VersionTranslation {
    WORD language;
    WORD codePage;
    const VersionValue* values;
    std::size_t valueCount;
};

struct VersionBlock {
    WORD fileVersion[4];      // most significant part first: 2, 0, 0, 0 is 2.0.0.0
    WORD productVersion[4];
    const VersionTranslation* translations;
    std::size_t translationCount;
};

// One item of a menu template: a command (id and text), a separator (no text), or a popup
// whose items follow in `items`. Texts are UTF-8 and come out in the ANSI code page.
struct MenuItem {
    UINT id;                  // the command id; 0 for a separator or a popup
    const char* text;         // null for a separator
    const MenuItem* items;    // a popup's items; null for a command or a separator
    std::size_t itemCount;
};

// A menu template: its top-level items (a popup menu has one popup item).
struct MenuResource {
    UINT id;
    const MenuItem* items;
    std::size_t itemCount;
};

// An icon group exactly as its .ico file holds it: the directory and the pictures it lists.
struct IconResource {
    UINT id;
    const BYTE* data;
    std::size_t size;
};

// A module's resources. Fields that a module has none of stay null and 0; new kinds of
// resource join as further fields, so tables written with designated initialisers keep working.
struct Table {
    const StringEntry* strings = nullptr;
    std::size_t stringCount = 0;
    const VersionBlock* version = nullptr;
    const MenuResource* menus = nullptr;
    std::size_t menuCount = 0;
    const IconResource* icons = nullptr;
    std::size_t iconCount = 0;
};

// Registers the table for the module that contains it. Tables stay registered for the life of
// the process: modules are never unloaded, and threads that outlive static destruction may still
// load strings.
void RegisterTable(const Table& table);

// Registers a table at static initialisation: `const win32::rc::Registration r(table);`.
class Registration {
public:
    explicit Registration(const Table& table) { RegisterTable(table); }
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;
};

}  // namespace win32::rc
