#include "shell/experiments/WholeFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

bool SaveWholeFile(const std::string& path, const std::string& text, std::string& error) {
    const std::string temporary = path + "." + std::to_string(getpid()) + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) {
        error = "cannot write '" + path + "': " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const int writeError = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot write '" + path + "': " +
                std::strerror(written && closed ? errno : writeError);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
