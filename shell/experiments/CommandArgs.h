#pragma once
// Walks the experiments' command lines: "--name VALUE" and "--name=VALUE"
// alike, one option at a time.
#include <cstdint>
#include <string>

class CommandArgs {
public:
    CommandArgs(int argc, char** argv) : argc(argc), argv(argv) {}

    // Moves to the next argument; false after the last.
    bool Next();
    // The current option is this one (with or without "=VALUE"), also after
    // its value was read.
    bool Is(const char* name) const;
    // Reads the option's value into value: after "=" or the next argument.
    // False with a message when there is none.
    bool Value(std::string& error);
    // The current option, whole.
    const char* Current() const { return argv[option]; }
    // The message for an argument no option matched.
    std::string Unknown() const;

    const char* value = nullptr;

private:
    int argc;
    char** argv;
    int index = 0;   // the last argument consumed
    int option = 0;  // the option being read
};

// Plain decimal digits (no sign, blank or suffix) from min to max.
bool ParseWholeNumber(const char* text, uint64_t min, uint64_t max, uint64_t& value);
