// qh_compose OUTPUT_PATH: writes the show's tune as an XM module.
#include <cstdio>

#include "Score.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: qh_compose OUTPUT_PATH\n");
        return 2;
    }
    std::vector<uint8_t> bytes = xmWrite(musComposeModule());
    FILE* f = std::fopen(argv[1], "wb");
    if (!f) {
        std::perror(argv[1]);
        musFatal("cannot create the output file");
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok)
        musFatal("cannot write the output file");
    return 0;
}
