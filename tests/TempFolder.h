#pragma once
// A private temporary folder for a test, removed with its contents at the
// end. Tests run in parallel from one working directory, so every test that
// writes Rules.clp or Marrowick.ini writes them in a folder of its own.
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

class TempFolder {
public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "marrowick-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string File(const std::string& name) const { return path + "/" + name; }

    std::string path;  // empty when the folder could not be made
};
