#include <cstdio>
#include <cstring>
#include <string>

#include "app/Demo.h"

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; i++)
        if (!strcmp(argv[i], "-h") || !strcmp(argv[i], "--help")) {
            fputs(DemoUsage(), stdout);
            return 0;
        }
    if (!ParseRunOptions(argc, argv)) {
        fprintf(stderr, "\n%s", DemoUsage());
        return EXIT_USAGE;
    }
    PrepareRun();
    // The command-line text: the words after the program name, joined by
    // single spaces.
    std::string line;
    for (int i = 1; i < argc; i++) {
        if (i > 1)
            line += ' ';
        line += argv[i];
    }
    static char buffer[4096];
    snprintf(buffer, sizeof buffer, "%s", line.c_str());
    return WinMain(nullptr, nullptr, buffer, 1);
}
