#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("marrowick %s\n", MARROWICK_VERSION);
        return 0;
    }
    std::printf("Marrowick %s\n", MARROWICK_VERSION);
    return 0;
}
