// Turns a program's resource script into the C++ source of its POSIX resource table.
#pragma once

#include "ResourceScript.h"

#include <string>
#include <vector>

namespace rcgen {

struct GeneratedTable {
    std::string source;                // defines a `win32::rc::Table` and registers it
    std::vector<std::string> inputs;   // the script and every file it names, for the build's dependencies
};

// Reads the script at scriptPath and the files it names (relative to the script's folder),
// checks every icon, and generates the table. With a tableName the table is also reachable
// under that name (for tests); otherwise it is private to its file. Errors carry the script
// line of the statement they belong to.
bool GenerateTable(const std::string& scriptPath, const std::string& tableName, GeneratedTable& table, Error& error);

}  // namespace rcgen
