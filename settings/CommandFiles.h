#pragma once
// The files one command reads and writes, checked together before anything
// is opened or written: no output may be one of the command's inputs (the
// rule base, the settings file, the texture, a summary being merged) or
// another of its outputs, and every output must be writable. A command that
// fails the check is refused, and every file stays as it was.
//
// "-" (standard output) is no file and never conflicts. Two names are the
// same file when they name one inode, or, for an output that does not exist
// yet, when its folder and name resolve to an input's.
#include <string>
#include <vector>

class CommandFiles {
public:
    // role: how the message names it ("the rule base", "--csv").
    void Input(const std::string& path, const std::string& role);
    void Output(const std::string& path, const std::string& role);
    // An output that is a folder the command writes files into (made when
    // missing); only the folder itself is checked here.
    void OutputFolder(const std::string& path, const std::string& role);

    enum class Verdict { Ok, Conflict, Unwritable };
    // Conflict, with one line, when an output names an input or another
    // output; Unwritable when one cannot be written (its folder is missing or
    // not writable, it is a folder, it exists and is read-only).
    Verdict Check(std::string& error) const;

private:
    struct Entry {
        std::string path;
        std::string role;
        enum class Kind { Input, Output, Folder } kind;
    };
    std::vector<Entry> entries;
};

// The path with its folder resolved (links, "..") and its last name kept:
// what a file that may not exist yet would be. Empty when the folder does not
// exist.
std::string ResolvedPath(const std::string& path);
