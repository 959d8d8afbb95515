#pragma once
// This test process as other programs see it, and shell command lines run from tests.
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace cvtest {

// The file name of this process's executable, as the process table shows it.
inline std::string OwnExeName() {
    return std::filesystem::read_symlink("/proc/self/exe").filename().string();
}

struct TRun {
    int Status = -1;
    std::string Output;
};

// Runs a command line made of the test's own values; standard output captured, standard
// error dropped. Status -1 when the shell could not run or did not exit.
inline TRun Shell(const std::string& command) {
    TRun r;
    FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (!p)
        return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        r.Output.append(buf, n);
    const int status = ::pclose(p);
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

} // namespace cvtest
