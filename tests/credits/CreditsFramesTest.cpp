// The credits as the show plays them: the program captures orders 22-25
// losslessly on its virtual clock, on both drawing paths, and chosen frames
// must hash as the reference hashes in frames.txt. A frame that differs is
// written as a PNG beside the test for a person to look at.
//
// QH_UPDATE_FRAMES=1 writes frames.txt anew instead of comparing (the build
// target credits_frames_update does that): for a change of the picture that is
// meant, new data, or a change of the 3D engine or the credits scene, which
// the order-23 moment shows.
#include <gtest/gtest.h>

#include <cinttypes>
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
const int kStartOrder = 22, kEndOrder = 26, kFps = 4;

// The moments looked at: each step of both credits, their slides, the
// scene's order, the plate's order and the white fade.
const struct Moment {
    int order, row;
} kMoments[] = {{22, 4}, {22, 12}, {22, 20}, {22, 40}, {23, 32}, {24, 4},
                {24, 12}, {24, 20}, {24, 40}, {25, 32}, {25, 62}};

// The capture frame that shows a position of the music: a row lasts 15/132 s.
int frameOf(const Moment& m) { return ((m.order - kStartOrder) * 64 + m.row) * 15 * kFps / 132; }

std::string key(const char* path, const Moment& m)
{
    return std::string(path) + " " + std::to_string(m.order) + "/" + std::to_string(m.row);
}

uint64_t fnv1a(const std::vector<uint8_t>& bytes)
{
    uint64_t h = 14695981039346656037ull;
    for (uint8_t b : bytes)
        h = (h ^ b) * 1099511628211ull;
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

// Runs the show through the credits into a raw capture and keeps the frames
// of the moments; the capture goes at once (1.2 MB a frame).
bool capture(bool plainPath, std::vector<std::vector<uint8_t>>& frames, std::string& why)
{
    std::string dir = makeTempDir("creditsframes");
    if (dir.empty() || symlink(QH_DEMO_PAK, (dir + "/demo.pak").c_str()) != 0) {
        why = "no folder for the capture";
        return false;
    }
    std::string command = "cd '" + dir + "' && " + (plainPath ? "QH_NO_MMX=1 " : "env -u QH_NO_MMX ") +
                          QH_PROGRAM " -start " + std::to_string(kStartOrder) + " -end " +
                          std::to_string(kEndOrder) + " -capture show.rgb -fps " + std::to_string(kFps) +
                          " > log.txt 2>&1";
    const int status = system(command.c_str());
    const std::string raw = dir + "/show.rgb";
    FILE* f = fopen(raw.c_str(), "rb");
    bool ok = status == 0 && f;
    if (!ok)
        why = "the capture failed: " + readWholeFile(dir + "/log.txt");
    frames.clear();
    for (const Moment& m : kMoments) {
        if (!ok)
            break;
        std::vector<uint8_t> bgra((size_t)W * H * 4);
        if (fseek(f, (long)frameOf(m) * W * H * 4, SEEK_SET) != 0 || fread(bgra.data(), 1, bgra.size(), f) != bgra.size()) {
            why = "the capture has no frame " + std::to_string(frameOf(m));
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

std::map<std::string, std::string> readReferences()
{
    std::map<std::string, std::string> refs;
    std::ifstream in(QH_FRAMES_FILE);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        std::string path, position, frame, hash;
        if (words >> path >> position >> frame >> hash)
            refs[path + " " + position] = hash;
    }
    return refs;
}

bool updating()
{
    const char* v = getenv("QH_UPDATE_FRAMES");
    return v && *v && *v != '0';
}

TEST(CreditsFrames, BothPathsMatchTheReferenceHashes)
{
    std::vector<const char*> paths = {"plain"};
    if (x2dSpriteHasMMXPath() && x2dDetectMMX())
        paths.push_back("mmx");
    const std::map<std::string, std::string> refs = readReferences();
    std::ostringstream table;
    table << "# Credits reference frames: path, order/row, frame of the " << kFps << "-fps capture of orders "
          << kStartOrder << "-" << kEndOrder - 1 << ", FNV-1a 64 of its 640 x 480 B, G, R, 255 pixels.\n"
          << "# Written by the build target credits_frames_update.\n";
    for (const char* path : paths) {
        std::vector<std::vector<uint8_t>> frames;
        std::string why;
        ASSERT_TRUE(capture(std::string(path) == "plain", frames, why)) << why;
        for (size_t i = 0; i < frames.size(); i++) {
            const Moment& m = kMoments[i];
            char hash[17];
            snprintf(hash, sizeof hash, "%016" PRIx64, fnv1a(frames[i]));
            table << key(path, m) << " " << frameOf(m) << " " << hash << "\n";
            if (updating())
                continue;
            auto ref = refs.find(key(path, m));
            if (ref != refs.end() && ref->second == hash)
                continue;
            const std::string seen = "credits-" + std::to_string(m.order) + "-" + std::to_string(m.row) + "-" +
                                     path + "-seen.png";
            writePng(seen, frames[i]);
            ADD_FAILURE() << key(path, m) << " (frame " << frameOf(m) << ") hashes " << hash << ", the reference "
                          << (ref == refs.end() ? std::string("is missing") : ref->second) << "; the frame seen is "
                          << seen;
        }
    }
    if (updating()) {
        std::ofstream out(QH_FRAMES_FILE);
        out << table.str();
        ASSERT_TRUE(out.good()) << QH_FRAMES_FILE;
    }
}

} // namespace
