// rcgen: generates a program's POSIX resource table from its resource script.
//
//     rcgen [--name TABLE] [--depfile FILE] SCRIPT.rc OUTPUT.cpp
//
// --name makes the table reachable under that name; --depfile writes the files the table was
// made from, so that the build regenerates it when any of them changes. Errors are printed as
// "SCRIPT.rc:LINE: error: ..." and fail the build.
#include "TableWriter.h"

#include <cstdio>
#include <cstring>
#include <fstream>

namespace {

// A make rule; blanks in paths are escaped as make and Ninja expect.
std::string DependencyRule(const std::string& output, const std::vector<std::string>& inputs) {
    auto escape = [](const std::string& path) {
        std::string out;
        for (char c : path) out += c == ' ' ? std::string("\\ ") : std::string(1, c);
        return out;
    };
    std::string rule = escape(output) + ":";
    for (const std::string& input : inputs) rule += " \\\n  " + escape(input);
    return rule + "\n";
}

bool WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) std::fprintf(stderr, "rcgen: cannot write %s\n", path.c_str());
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    std::string name, depfile;
    int arg = 1;
    for (; arg + 1 < argc && std::strncmp(argv[arg], "--", 2) == 0; arg += 2) {
        if (std::strcmp(argv[arg], "--name") == 0) {
            name = argv[arg + 1];
        } else if (std::strcmp(argv[arg], "--depfile") == 0) {
            depfile = argv[arg + 1];
        } else {
            break;
        }
    }
    if (argc - arg != 2) {
        std::fprintf(stderr, "usage: rcgen [--name TABLE] [--depfile FILE] SCRIPT.rc OUTPUT.cpp\n");
        return 2;
    }
    const std::string script = argv[arg];
    const std::string output = argv[arg + 1];
    rcgen::GeneratedTable table;
    rcgen::Error error;
    if (!rcgen::GenerateTable(script, name, table, error)) {
        if (error.line > 0) {
            std::fprintf(stderr, "%s:%d: error: %s\n", script.c_str(), error.line, error.message.c_str());
        } else {
            std::fprintf(stderr, "%s: error: %s\n", script.c_str(), error.message.c_str());
        }
        return 1;
    }
    if (!WriteText(output, table.source)) return 1;
    if (!depfile.empty() && !WriteText(depfile, DependencyRule(output, table.inputs))) return 1;
    return 0;
}
