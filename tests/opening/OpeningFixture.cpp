#include "OpeningFixture.h"

#include <cstdlib>

#include "X3d/X3d.h"
#include "parts/Part_1.h"
#include "parts/Part_2.h"
#include "platform/Plat.h"
#include "system/Xrand.h"
#include "tests/common/ShowStart.h"

uint32_t g_testNow = 1000;

namespace {
uint32_t testTicks() { return g_testNow; }
} // namespace

void OpeningParts::SetUpTestSuite()
{
    // Once for both suites: the video driver and the pictures stay.
    static bool done = false;
    if (done)
        return;
    done = true;
    platSetClock(testTicks, nullptr);
    startShowScreen();
    x3dInit(640, 480, nullptr);
    ASSERT_EQ(g_fileIO.Open(QH_DEMO_PAK), 0);
    g_pFileIO = &g_fileIO;
    xSrand(20);
    Part1Init();
    Part2Init();
}

uint32_t OpeningParts::at(int x, int y) { return g_picture[y * 640 + x] & 0xFFFFFFu; }

std::vector<TestZipEntry> showArchiveWith(const char* name, const std::vector<uint8_t>& bytes)
{
    std::vector<TestZipEntry> entries;
    for (TestZipEntry& e : readTestZip(QH_DEMO_PAK)) {
        if (e.name == "iseeyou.mp3")
            continue;
        if (e.name == name)
            e.data.assign(bytes.begin(), bytes.end());
        e.deflate = false;
        entries.push_back(e);
    }
    return entries;
}

void initFrom(const std::vector<TestZipEntry>& entries, void (*init)())
{
    const std::string pak = scratchFile("demo.pak");
    writeTestZip(pak, entries);
    static std::string archive;
    archive = readWholeFile(pak);
    g_fileIO.Close();
    if (g_fileIO.OpenMemory(archive.data(), archive.size()) != 0)
        exit(99);
    g_pFileIO = &g_fileIO;
    init();
    exit(0);
}
