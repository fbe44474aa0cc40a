// The greetings as the show plays them: the program captures orders 17-21
// losslessly on its virtual clock, and chosen frames must equal the reference
// frames kept in frames/ byte for byte.
//
// The references are frames of the plain drawing path. The MMX path rounds
// some blends differently by one step; its frames are kept as differences
// from the plain ones (mostly empty, so they take little room).
//
// QH_UPDATE_FRAMES=1 writes the references anew instead of comparing (the
// build target greet_frames does that): for a change of the picture that is
// meant, or new data.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include <png.h>

#include "X2d/X2d.h"
#include "X2d/X2dspr.h"
#include "tests/common/ShowFolder.h"
#include "tests/common/TestZip.h"

namespace {

const int W = 640, H = 480;
const int kFps = 2;
// Frames of the 2-fps capture: 0.5 s the opening flash; 5.5 s the list under
// "greetings to", frames fading from the flashes of rows 44 and 46, the
// first cells revealing; 8.5 s "the monsters" half over "greetings to";
// 23 s the full mosaic with both question marks; 26 s the darkening under
// "two are missing"; 31 s "guess who" alone.
const int kFrames[] = {1, 11, 17, 46, 52, 62};

typedef std::vector<uint8_t> Rgb; // W x H x 3

std::string frameFile(int frame, const char* tail)
{
    char name[64];
    snprintf(name, sizeof name, "/greet-%02d%s.png", frame, tail);
    return std::string(QH_FRAMES_DIR) + name;
}

bool readPng(const std::string& path, Rgb& out)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    if (image.width != W || image.height != H) {
        png_image_free(&image);
        return false;
    }
    out.assign((size_t)W * H * 3, 0);
    return png_image_finish_read(&image, nullptr, out.data(), 0, nullptr) != 0;
}

bool writePng(const std::string& path, const Rgb& rgb)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = W;
    image.height = H;
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

// Runs the show from order 17 to 22 into a raw capture and keeps the chosen
// frames; the capture file goes at once (it is 1.2 MB a frame).
bool captureGreetings(bool plainPath, std::vector<Rgb>& frames, std::string& why)
{
    std::string dir = makeShowFolder("greetframes", QH_DEMO_PAK);
    if (dir.empty()) {
        why = "no folder for the capture";
        return false;
    }
    std::string command = "cd '" + dir + "' && " + (plainPath ? "QH_NO_MMX=1 " : "env -u QH_NO_MMX ") +
                          QH_PROGRAM " -start 17 -end 22 -capture show.rgb -fps " + std::to_string(kFps) +
                          " > log.txt 2>&1";
    int status = system(command.c_str());
    std::string raw = dir + "/show.rgb";
    FILE* f = fopen(raw.c_str(), "rb");
    bool ok = status == 0 && f;
    if (!ok)
        why = "the capture failed: " + readWholeFile(dir + "/log.txt");
    frames.clear();
    std::vector<uint8_t> bgra((size_t)W * H * 4);
    for (int k : kFrames) {
        if (!ok)
            break;
        if (fseek(f, (long)k * W * H * 4, SEEK_SET) != 0 || fread(bgra.data(), 1, bgra.size(), f) != bgra.size()) {
            why = "the capture has no frame " + std::to_string(k);
            ok = false;
            break;
        }
        Rgb rgb((size_t)W * H * 3);
        for (size_t i = 0; i < (size_t)W * H; i++) {
            rgb[3 * i] = bgra[4 * i + 2];
            rgb[3 * i + 1] = bgra[4 * i + 1];
            rgb[3 * i + 2] = bgra[4 * i];
        }
        frames.push_back(rgb);
    }
    if (f)
        fclose(f);
    remove(raw.c_str());
    remove((raw + ".wav").c_str());
    remove((dir + "/log.txt").c_str());
    removeShowFolder(dir);
    return ok;
}

// 128 + the difference of each channel; false where it does not fit.
bool difference(const Rgb& from, const Rgb& to, Rgb& out)
{
    out.resize(from.size());
    for (size_t i = 0; i < from.size(); i++) {
        int d = (int)to[i] - (int)from[i];
        if (d < -128 || d > 127)
            return false;
        out[i] = (uint8_t)(128 + d);
    }
    return true;
}

void applyDifference(const Rgb& diff, Rgb& frame)
{
    for (size_t i = 0; i < frame.size(); i++)
        frame[i] = (uint8_t)(frame[i] + diff[i] - 128);
}

// Where two frames differ, as a message; empty when they are equal.
std::string compare(const Rgb& want, const Rgb& got, int frame, const char* path)
{
    size_t count = 0, first = 0;
    for (size_t i = 0; i < want.size(); i += 3)
        if (want[i] != got[i] || want[i + 1] != got[i + 1] || want[i + 2] != got[i + 2]) {
            if (!count)
                first = i / 3;
            count++;
        }
    if (!count)
        return std::string();
    std::string saved = std::string("greet-") + std::to_string(frame) + "-" + path + "-seen.png";
    writePng(saved, got);
    return std::to_string(count) + " pixels differ in frame " + std::to_string(frame) + " (" + path +
           " path), the first at (" + std::to_string(first % W) + ", " + std::to_string(first / W) +
           "); the frame seen is in " + saved;
}

bool updating()
{
    const char* v = getenv("QH_UPDATE_FRAMES");
    return v && *v && *v != '0';
}

TEST(GreetingsFrames, PlainPathMatchesTheReferenceFrames)
{
    std::vector<Rgb> frames;
    std::string why;
    ASSERT_TRUE(captureGreetings(true, frames, why)) << why;
    for (size_t i = 0; i < frames.size(); i++) {
        const int k = kFrames[i];
        if (updating()) {
            ASSERT_TRUE(writePng(frameFile(k, ""), frames[i])) << frameFile(k, "");
            continue;
        }
        Rgb want;
        ASSERT_TRUE(readPng(frameFile(k, ""), want)) << "no reference " << frameFile(k, "");
        std::string diff = compare(want, frames[i], k, "plain");
        EXPECT_TRUE(diff.empty()) << diff;
    }
}

TEST(GreetingsFrames, MmxPathMatchesTheReferenceFrames)
{
    if (!x2dSpriteHasMMXPath() || !x2dDetectMMX())
        GTEST_SKIP() << "no MMX path on this machine";
    std::vector<Rgb> frames, plain;
    std::string why;
    ASSERT_TRUE(captureGreetings(false, frames, why)) << why;
    for (size_t i = 0; i < frames.size(); i++) {
        const int k = kFrames[i];
        if (updating()) {
            if (plain.empty()) {
                ASSERT_TRUE(captureGreetings(true, plain, why)) << why;
            }
            Rgb diff;
            ASSERT_TRUE(difference(plain[i], frames[i], diff)) << "the paths differ by far in frame " << k;
            ASSERT_TRUE(writePng(frameFile(k, "-mmx"), diff)) << frameFile(k, "-mmx");
            continue;
        }
        Rgb want, diff;
        ASSERT_TRUE(readPng(frameFile(k, ""), want)) << "no reference " << frameFile(k, "");
        ASSERT_TRUE(readPng(frameFile(k, "-mmx"), diff)) << "no reference " << frameFile(k, "-mmx");
        applyDifference(diff, want);
        std::string message = compare(want, frames[i], k, "mmx");
        EXPECT_TRUE(message.empty()) << message;
    }
}

} // namespace
