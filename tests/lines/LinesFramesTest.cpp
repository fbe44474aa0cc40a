// The lines as the show plays them: the program captures orders 13-16
// losslessly on its virtual clock (nothing before order 13 touches the part,
// so these are the show's own frames), and chosen frames must hash to the
// values kept in frames.txt, on both drawing paths. A frame that differs is
// written as a PNG beside the test for a person to look at.
//
// QH_UPDATE_FRAMES=1 writes frames.txt anew instead of comparing (the build
// target lines_frames does that): for a change of the picture that is meant.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <png.h>

#include "X2d/X2d.h"
#include "X2d/X2dspr.h"
#include "tests/common/TestZip.h"

namespace {

const int W = 640, H = 480;
// Frames of the 2-fps capture: rising from black with the first letter;
// the second letter; the second word; the grid at full darkness; the caption
// fading in; caption and grid; the grids changing; black under the caption.
const int kFrames[] = {2, 6, 21, 36, 38, 51, 57, 58};
const char* const kTable = QH_FRAMES_DIR "/frames.txt";

uint64_t hashFrame(const std::vector<uint8_t>& bgra)
{
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < bgra.size(); i++) {
        if (i % 4 == 3)
            continue; // the capture's fourth byte carries nothing
        h = (h ^ bgra[i]) * 1099511628211ull;
    }
    return h;
}

void writePng(const std::string& path, const std::vector<uint8_t>& bgra)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = W;
    image.height = H;
    image.format = PNG_FORMAT_BGRA;
    png_image_write_to_file(&image, path.c_str(), 0, bgra.data(), 0, nullptr);
}

// Runs the show from order 13 to 17 into a raw capture and keeps the chosen
// frames; the capture goes at once.
bool capture(bool plainPath, std::vector<std::vector<uint8_t>>& frames, std::string& why)
{
    std::string dir = makeTempDir("linesframes");
    if (dir.empty() || symlink(QH_DEMO_PAK, (dir + "/demo.pak").c_str()) != 0) {
        why = "no folder for the capture";
        return false;
    }
    std::string command = "cd '" + dir + "' && " + (plainPath ? "QH_NO_MMX=1 " : "env -u QH_NO_MMX ") +
                          QH_PROGRAM " -start 13 -end 17 -capture show.rgb -fps 2 > log.txt 2>&1";
    int status = system(command.c_str());
    std::string raw = dir + "/show.rgb";
    FILE* f = fopen(raw.c_str(), "rb");
    bool ok = status == 0 && f;
    if (!ok)
        why = "the capture failed: " + readWholeFile(dir + "/log.txt");
    frames.clear();
    for (int k : kFrames) {
        if (!ok)
            break;
        std::vector<uint8_t> bgra((size_t)W * H * 4);
        if (fseek(f, (long)k * W * H * 4, SEEK_SET) != 0 || fread(bgra.data(), 1, bgra.size(), f) != bgra.size()) {
            why = "the capture has no frame " + std::to_string(k);
            ok = false;
            break;
        }
        frames.push_back(bgra);
    }
    if (f)
        fclose(f);
    for (const char* name : {"/show.rgb", "/show.rgb.wav", "/log.txt", "/demo.pak"})
        remove((dir + name).c_str());
    rmdir(dir.c_str());
    return ok;
}

// "frame path hash" lines.
std::map<std::string, std::string> readTable()
{
    std::map<std::string, std::string> table;
    std::ifstream in(kTable);
    std::string frame, path, hash;
    while (in >> frame >> path >> hash)
        table[frame + " " + path] = hash;
    return table;
}

std::string hex(uint64_t v)
{
    char text[17];
    snprintf(text, sizeof text, "%016llx", (unsigned long long)v);
    return text;
}

bool updating()
{
    const char* v = getenv("QH_UPDATE_FRAMES");
    return v && *v && *v != '0';
}

void checkPath(const char* path)
{
    std::vector<std::vector<uint8_t>> frames;
    std::string why;
    ASSERT_TRUE(capture(std::string(path) == "plain", frames, why)) << why;
    std::map<std::string, std::string> table = readTable();
    for (size_t i = 0; i < frames.size(); i++) {
        const std::string key = std::to_string(kFrames[i]) + " " + path;
        const std::string seen = hex(hashFrame(frames[i]));
        if (updating()) {
            table[key] = seen;
            continue;
        }
        ASSERT_TRUE(table.count(key)) << "no reference for frame " << key << " in " << kTable;
        if (table[key] != seen) {
            const std::string png = "lines-" + std::to_string(kFrames[i]) + "-" + path + "-seen.png";
            writePng(png, frames[i]);
            ADD_FAILURE() << "frame " << kFrames[i] << " (" << path << " path) differs from its reference; the frame seen is in "
                          << png;
        }
    }
    if (updating()) {
        std::ofstream out(kTable);
        for (const auto& row : table)
            out << row.first << " " << row.second << "\n";
    }
}

TEST(LinesFrames, PlainPathMatchesTheReferenceFrames) { checkPath("plain"); }

TEST(LinesFrames, MmxPathMatchesTheReferenceFrames)
{
    if (!x2dSpriteHasMMXPath() || !x2dDetectMMX())
        GTEST_SKIP() << "no MMX path on this machine";
    checkPath("mmx");
}

} // namespace
