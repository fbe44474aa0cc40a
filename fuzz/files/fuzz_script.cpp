// The script reader over arbitrary text, with every argument accessor.
#include <cstdlib>
#include <cstring>

#include "files/Xscript.h"
#include "files/xFileIO.h"
#include "fuzz/common/FuzzStop.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qhfuzz::setUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static xScript* script = new xScript();
    uint8_t* block = (uint8_t*)malloc(size ? size : 1);
    if (size)
        memcpy(block, data, size);
    xFile file = {(char*)"fuzz.x3d", (int32_t)size, block};
    QH_FUZZ_GUARD(
        {
            script->Load(&file);
            int lines = 0;
            while (char* keyword = script->NextKeyword()) {
                // The accessors change rest in place: use them in turns.
                switch (lines++ % 4) {
                case 0:
                    script->GetInt();
                    script->GetFloat();
                    script->SplitArgs(1 + (int)(strlen(keyword) % 6));
                    for (int i = 0; i <= 7; i++)
                        script->GetArgFloat(i);
                    break;
                case 1: free(script->GetString()); break;
                case 2: script->CompareText(keyword); break;
                default: script->GetText(); script->SplitArgs(3); script->GetArgFloat(3); break;
                }
            }
        },
        script->Free());
    free(block);
    return 0;
}
