// The settings-file reader on any bytes: opening (which may append the
// default record), look-ups of the texture key and of a key taken from the
// input, and one more record appended.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "presentation/SettingsFile.h"

namespace {

std::string folder;

void RemoveFolder() {
    std::remove((folder + "/Marrowick.ini").c_str());
    rmdir(folder.c_str());
}

// A folder of the run's own, removed when the fuzzer ends.
const std::string& Folder() {
    if (folder.empty()) {
        const char* temporary = std::getenv("TMPDIR");
        std::string pattern = std::string(temporary != nullptr ? temporary : "/tmp") +
                              "/marrowick-fuzz-settings-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        folder = pattern;
        std::atexit(RemoveFolder);
    }
    return folder;
}

void Ignore(void*, const char*) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = Folder() + "/Marrowick.ini";
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        if (size > 0) std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    {
        SettingsFile settings(path.c_str(), SettingsWarning{&Ignore, nullptr});
        std::string value;
        settings.GetValue(SettingsFile::kTextureKey, value);
        // A key made of the first bytes, up to the first blank.
        std::string key;
        for (size_t i = 0; i < size && i < 80 && data[i] > ' '; ++i) key.push_back(static_cast<char>(data[i]));
        if (!key.empty()) settings.GetValue(key.c_str(), value);
        settings.AddValue("FuzzKey", "fuzz_value");
        if (settings.Usable() && !settings.GetValue("FuzzKey", value)) {
            // Whatever the file held, an appended record reads back (a file
            // larger than the reader's window is not usable at all).
            __builtin_trap();
        }
    }
    std::remove(path.c_str());
    return 0;
}
