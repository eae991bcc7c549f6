#include <cstdio>
#include <cstring>

#include "shell/Headless.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--headless") == 0) {
            return RunHeadless(argc, argv);
        }
    }
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("marrowick %s\n", MARROWICK_VERSION);
        return 0;
    }
    std::printf("Marrowick %s\n", MARROWICK_VERSION);
    return 0;
}
