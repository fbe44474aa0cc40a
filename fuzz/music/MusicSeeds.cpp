// Seed modules for the music fuzz target: small songs of our own writer, with
// and without a looping restart and effects, written to <root>/fuzz_music/.
#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "tests/music-channel/XmWriter.h"

static void save(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return;
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    std::string dir = std::string(argv[1]) + "/fuzz_music";
    mkdir(argv[1], 0755);
    mkdir(dir.c_str(), 0755);
    XmSong song = TestSong();
    save(dir + "/song.xm", WriteXm(song));
    song.restart = 1;
    song.speed = 3;
    song.Cell(0, 2, 1) = XmCell{49, 1, 0x30, 0x0B, 0x00}; // a jump back to the start
    save(dir + "/jump.xm", WriteXm(song));
    song.instrument = false;
    save(dir + "/silent.xm", WriteXm(song));
    return 0;
}
