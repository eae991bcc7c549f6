#pragma once
// Writing an output file whole or not at all: the text goes to a temporary
// file beside it, which is renamed into place once it is complete. A run or a
// report that is stopped, or a disk that fills, never leaves half a file
// where a whole one is expected (a resumed comparison trusts what it finds).
#include <string>

// False with a message ("cannot write 'PATH': reason"); nothing is left
// behind then.
bool SaveWholeFile(const std::string& path, const std::string& text, std::string& error);
