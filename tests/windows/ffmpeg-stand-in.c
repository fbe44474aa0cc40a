/* A stand-in for ffmpeg in the Windows test, built for both systems: the
   encoder's run ("-i -") writes the frames it reads from its standard input,
   unchanged, to its output file (the last argument); the muxer's run copies
   its first input there. The capture's .mp4 then holds exactly the bytes the
   show sent through its pipe. */
#include <stdio.h>
#include <string.h>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char** argv)
{
    const char* in = NULL;
    for (int i = 1; i + 1 < argc && !in; i++)
        if (strcmp(argv[i], "-i") == 0)
            in = argv[i + 1];
    if (!in || argc < 3)
        return 2;
    FILE* from = strcmp(in, "-") == 0 ? stdin : fopen(in, "rb");
    FILE* to = fopen(argv[argc - 1], "wb");
    if (!from || !to)
        return 1;
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, from)) > 0)
        if (fwrite(buffer, 1, got, to) != got)
            return 1;
    return fclose(to) != 0;
}
