// Shared set-up of the opening's and the fish's tests: the show's pictures
// loaded once, a clock the test moves, and archives with one picture
// replaced for the refusals.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/common/TestZip.h"

extern uint32_t g_testNow;

class OpeningParts : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    // Frame-buffer pixel of the picture without its fourth byte.
    static uint32_t at(int x, int y);
};

// The show's archive with the named entry's bytes replaced.
std::vector<TestZipEntry> showArchiveWith(const char* name, const std::vector<uint8_t>& bytes);
// Opens the entries as the archive and runs the set-up; exits 0 if it
// comes through.
[[noreturn]] void initFrom(const std::vector<TestZipEntry>& entries, void (*init)());
