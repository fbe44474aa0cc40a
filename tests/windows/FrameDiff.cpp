// Compares two raw captures (.rgb: 640 x 480 pixels of 4 bytes B, G, R, 255
// per frame) frame by frame: how many frames each holds, which differ, the
// first of them, and per differing frame the largest difference of one
// colour channel and how many pixels differ. Exit status 0 when the two are
// the same byte for byte, 1 when they differ, 2 when a file cannot be read.
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: qh_framediff A.rgb B.rgb\n");
        return 2;
    }
    FILE* a = fopen(argv[1], "rb");
    FILE* b = fopen(argv[2], "rb");
    if (!a || !b) {
        fprintf(stderr, "qh_framediff: cannot read %s\n", a ? argv[2] : argv[1]);
        return 2;
    }
    const size_t frameBytes = (size_t)640 * 480 * 4;
    std::vector<unsigned char> fa(frameBytes), fb(frameBytes);
    long framesA = 0, framesB = 0, differing = 0, first = -1;
    bool partial = false;
    for (long k = 0;; k++) {
        size_t ga = fread(fa.data(), 1, frameBytes, a), gb = fread(fb.data(), 1, frameBytes, b);
        partial |= (ga != 0 && ga != frameBytes) || (gb != 0 && gb != frameBytes);
        framesA += ga == frameBytes;
        framesB += gb == frameBytes;
        if (ga != frameBytes || gb != frameBytes)
            break;
        int largest = 0;
        long pixels = 0;
        for (size_t i = 0; i < frameBytes; i += 4) {
            bool differs = false;
            for (int c = 0; c < 4; c++) {
                int d = abs(fa[i + c] - fb[i + c]);
                if (d) {
                    differs = true;
                    largest = d > largest ? d : largest;
                }
            }
            pixels += differs;
        }
        if (pixels) {
            if (first < 0)
                first = k;
            differing++;
            printf("frame %ld: %ld pixels differ, largest channel difference %d\n", k, pixels, largest);
        }
    }
    printf("frames %ld and %ld, %ld differ, first differing frame %ld%s\n", framesA, framesB, differing, first,
           partial ? ", a part frame at the end" : "");
    fclose(a);
    fclose(b);
    return framesA == framesB && !partial && differing == 0 ? 0 : 1;
}
