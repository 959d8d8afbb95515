#include "PosixShell.h"

#include "core/Text.h"
#include "platform/FileSystem.h"
#include "PosixSpawn.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
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

    TDetachedStart start;
    start.Program = program;
    start.Arguments = SplitCommandLine(parameters);
    start.Folder = folder;
    return StartDetached(start) > 0;
}

} // namespace cv
