// The program run on the show's own data in a scratch folder (see
// ShowFolder.h). The build of the including test passes QH_PROGRAM and
// QH_DEMO_PAK.
#pragma once
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/common/Scratch.h"
#include "tests/common/ShowFolder.h"

struct ShowRun {
    int status; // -1 when the program did not exit by itself
    std::string err;
};

// Runs the program with args in folder; env goes before it on the command
// line (variables, or a wrapper such as timeout). Its stderr is kept.
inline ShowRun runShow(const std::string& folder, const std::string& args, const std::string& env = "")
{
    std::string cmd = "cd '" + folder + "' && " + env + " '" QH_PROGRAM "' " + args + " 2>stderr.txt";
    int status = system(cmd.c_str());
    return ShowRun{WIFEXITED(status) ? WEXITSTATUS(status) : -1, readWholeFile(folder + "/stderr.txt")};
}
