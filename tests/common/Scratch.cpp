#include "Scratch.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string g_dir;
pid_t g_owner = 0; // a forked child leaves its parent's folder alone

} // namespace

std::string scratchDir()
{
    if (!g_dir.empty())
        return g_dir;
    const char* base = getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/qh-" + program_invocation_short_name + "-XXXXXX";
    std::vector<char> name(templ.begin(), templ.end());
    name.push_back(0);
    if (!mkdtemp(name.data())) {
        fprintf(stderr, "cannot make a scratch folder %s: %s\n", templ.c_str(), strerror(errno));
        exit(1);
    }
    static bool hooked = false;
    if (!hooked) {
        hooked = true;
        atexit(scratchEnd);
    }
    g_dir = name.data();
    g_owner = getpid();
    return g_dir;
}

std::string scratchFile(const std::string& name) { return scratchDir() + "/" + name; }

std::string scratchFolder(const std::string& name)
{
    std::string dir = scratchFile(name);
    mkdir(dir.c_str(), 0755);
    return dir;
}

bool scratchMade() { return !g_dir.empty(); }

void scratchEnd()
{
    if (!g_dir.empty() && getpid() == g_owner) {
        std::error_code ignored;
        std::filesystem::remove_all(g_dir, ignored);
    }
    g_dir.clear();
}

bool writeFile(const std::string& path, const void* data, size_t size)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

std::string seedFolder(const std::string& root, const std::string& target)
{
    mkdir(root.c_str(), 0755);
    std::string dir = root + "/" + target;
    mkdir(dir.c_str(), 0755);
    return dir;
}

void writeSeed(const std::string& root, const std::string& target, const std::string& name,
               const std::vector<uint8_t>& bytes)
{
    std::string path = seedFolder(root, target) + "/" + name;
    if (!writeFile(path, bytes)) {
        fprintf(stderr, "cannot write %s: %s\n", path.c_str(), strerror(errno));
        exit(1);
    }
}

CommandRun runCommand(const std::string& command)
{
    CommandRun run{-1, ""};
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return run;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        run.out.append(buf, n);
    int status = pclose(p);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string readWholeFile(const std::string& path)
{
    std::string out;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    fclose(f);
    return out;
}
