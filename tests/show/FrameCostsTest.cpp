// The frame cost report on a stretch of the show, against the program's own
// cost lines: the virtual clock makes every capture draw the same frames
// whatever its frame rate, so the table must count as many per part.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <png.h>
#include <sstream>
#include <string>

#include "tests/common/ShowRun.h"

namespace {

TEST(FrameCosts, ReportCountsEveryDrawnFrameOnBothPathsAndPlotsThem)
{
    std::string folder = showFolder("report");
    ShowRun own = runShow(folder, "-capture part.y4m -fps 1 -start 33 -end 35 -costs costs.txt");
    ASSERT_EQ(own.status, 0) << own.err;
    std::map<std::string, int> frames;
    std::istringstream lines(readWholeFile(folder + "/costs.txt"));
    for (std::string line; std::getline(lines, line);)
        if (line[0] != '#')
            frames[line.substr(0, line.find(' '))]++;
    ASSERT_EQ(frames.size(), 2u) << readWholeFile(folder + "/costs.txt");

    std::string cmd = "cd '" + folder + "' && '" QH_FRAME_COSTS "' table.txt plot.png --runs 1 -start 33 -end 35 " +
                      ">out.txt 2>err.txt";
    ASSERT_EQ(system(cmd.c_str()), 0) << readWholeFile(folder + "/err.txt");
    const std::string table = readWholeFile(folder + "/table.txt");
    EXPECT_NE(readWholeFile(folder + "/out.txt").find(table), std::string::npos) << "the table goes to stdout too";
    // Per path, the two parts of the stretch and no other, each with its
    // frames in the column after the name.
    for (const char* path : {"SSE2 path", "plain (QH_NO_MMX=1) path"}) {
        size_t at = table.find(path);
        ASSERT_NE(at, std::string::npos) << table;
        std::istringstream rows(table.substr(table.find('\n', table.find('\n', at) + 1) + 1));
        std::map<std::string, int> counted;
        for (std::string row; std::getline(rows, row) && row.size() > 17;)
            counted[row.substr(0, 16).erase(row.substr(0, 16).find_last_not_of(' ') + 1)] = atoi(row.c_str() + 16);
        EXPECT_EQ(counted.size(), 2u) << table;
        EXPECT_EQ(counted["falling letters"], frames["FallFrame"]) << table;
        EXPECT_EQ(counted["closing words"], frames["Part10Frame"]) << table;
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, (folder + "/plot.png").c_str()));
    EXPECT_EQ(image.width, 1600u);
    EXPECT_GT(image.height, 800u);
    png_image_free(&image);
}

} // namespace
