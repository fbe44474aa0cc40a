// Seed modules for the music fuzz target: small songs of our own writer, with
// and without a looping restart and effects, written to <root>/fuzz_music/.

#include "tests/common/Scratch.h"
#include "tests/music-channel/XmWriter.h"

using namespace testxm;

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    XmSong song = TestSong();
    writeSeed(argv[1], "fuzz_music", "song.xm", WriteXm(song));
    song.restart = 1;
    song.speed = 3;
    song.Cell(0, 2, 1) = XmCell{49, 1, 0x30, 0x0B, 0x00}; // a jump back to the start
    writeSeed(argv[1], "fuzz_music", "jump.xm", WriteXm(song));
    song.instrument = false;
    writeSeed(argv[1], "fuzz_music", "silent.xm", WriteXm(song));
    return 0;
}
