#include "shell/experiments/CommandArgs.h"

#include <cstring>

bool CommandArgs::Next() {
    value = nullptr;
    option = ++index;
    return index < argc;
}

bool CommandArgs::Is(const char* name) const {
    const char* arg = argv[option];
    const size_t length = std::strlen(name);
    return std::strncmp(arg, name, length) == 0 && (arg[length] == '\0' || arg[length] == '=');
}

bool CommandArgs::Value(std::string& error) {
    const char* arg = argv[index];
    const char* equals = std::strchr(arg, '=');
    if (equals != nullptr) {
        value = equals + 1;
        return true;
    }
    if (index + 1 < argc) {
        value = argv[++index];
        return true;
    }
    error = std::string("option '") + arg + "' requires an argument";
    return false;
}

std::string CommandArgs::Unknown() const {
    const char* arg = argv[option];
    if (std::strncmp(arg, "--", 2) == 0) return std::string("unrecognized option '") + arg + "'";
    return std::string("unexpected argument '") + arg + "'";
}

bool ParseWholeNumber(const char* text, uint64_t min, uint64_t max, uint64_t& value) {
    if (text == nullptr || *text == '\0') return false;
    uint64_t result = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') return false;
        result = result * 10 + static_cast<uint64_t>(*c - '0');
        if (result > max) return false;
    }
    if (result < min) return false;
    value = result;
    return true;
}
