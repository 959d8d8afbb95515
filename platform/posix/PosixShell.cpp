#include "PosixShell.h"

#include "core/Text.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace cv {

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string CurrentFolder() {
    char* cwd = getcwd(nullptr, 0);
    if (!cwd)
        return {};
    std::string s = cwd;
    std::free(cwd);
    return s;
}

std::string Absolute(const std::string& path) {
    if (path.empty() || path[0] == '/')
        return path;
    return CurrentFolder() + "/" + path;
}

} // namespace

std::vector<std::string> TPosixShell::SplitCommandLine(const std::string& parameters) {
    std::vector<std::string> args;
    std::string current;
    bool inArg = false, quoted = false;
    size_t i = 0;
    const size_t n = parameters.size();
    while (i < n) {
        char c = parameters[i];
        if (!quoted && (c == ' ' || c == '\t')) {
            if (inArg) {
                args.push_back(current);
                current.clear();
                inArg = false;
            }
            ++i;
            continue;
        }
        inArg = true;
        if (c == '\\') {
            size_t slashes = 0;
            while (i < n && parameters[i] == '\\') {
                ++slashes;
                ++i;
            }
            if (i < n && parameters[i] == '"') {
                // 2n backslashes and a quote: n backslashes, the quote delimits;
                // 2n+1: n backslashes and a literal quote.
                current.append(slashes / 2, '\\');
                if (slashes % 2) {
                    current.push_back('"');
                    ++i;
                }
            } else {
                current.append(slashes, '\\');
            }
            continue;
        }
        if (c == '"') {
            if (quoted && i + 1 < n && parameters[i + 1] == '"') {
                current.push_back('"'); // "" inside quotes is one literal quote
                i += 2;
                continue;
            }
            quoted = !quoted;
            ++i;
            continue;
        }
        current.push_back(c);
        ++i;
    }
    if (inArg)
        args.push_back(current);
    return args;
}

std::string TPosixShell::ResolveProgram(const std::string& file, const std::string& workingFolder) {
    std::string f = NativePath(file);
    if (f.empty())
        return {};
    if (f.find('/') != std::string::npos) {
        std::string p = Absolute(f);
        return IsExecutableFile(p) ? p : std::string();
    }
    std::string folder =
        workingFolder.empty() ? CurrentFolder() : Absolute(NativePath(workingFolder));
    if (!folder.empty() && IsExecutableFile(folder + "/" + f))
        return folder + "/" + f;
    const char* path = std::getenv("PATH");
    for (auto& dir : SplitAny(path ? path : "", ":")) {
        std::string d = dir.empty() ? CurrentFolder() : Absolute(dir);
        if (IsExecutableFile(d + "/" + f))
            return d + "/" + f;
    }
    return {};
}

bool TPosixShell::Execute(const std::string& file, const std::string& parameters,
                          const std::string& workingFolder) {
    const std::string program = ResolveProgram(file, workingFolder);
    if (program.empty())
        return false;
    const std::string folder = workingFolder.empty() ? std::string() : NativePath(workingFolder);
    if (!folder.empty() && !DirectoryExists(folder))
        return false;

    // Everything the children need is built before fork: only async-signal-safe calls after it.
    std::vector<std::string> args = SplitCommandLine(parameters);
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    // The grandchild reports a failed exec through the pipe; a successful exec closes it.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    if (child == 0) {
        close(fds[0]);
        setsid();
        pid_t grandchild = fork();
        if (grandchild == 0) {
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            signal(SIGPIPE, SIG_DFL);
            int err = 0;
            if (!folder.empty() && chdir(folder.c_str()) != 0)
                err = errno;
            if (!err) {
                int devnull = open("/dev/null", O_RDONLY);
                if (devnull >= 0 && devnull != 0) {
                    dup2(devnull, 0);
                    close(devnull);
                }
                execve(program.c_str(), argv.data(), environ);
                err = errno;
            }
            ssize_t w = write(fds[1], &err, sizeof err);
            (void)w;
            _exit(127);
        }
        _exit(grandchild < 0 ? 1 : 0);
    }
    close(fds[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    bool forked = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    int err = 0;
    ssize_t r;
    while ((r = read(fds[0], &err, sizeof err)) < 0 && errno == EINTR) {
    }
    close(fds[0]);
    return forked && r == 0;
}

} // namespace cv
