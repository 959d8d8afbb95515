#include "PosixSpawn.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace cv {

namespace {

bool ReadAll(int fd, void* data, size_t size, size_t& got) {
    got = 0;
    while (got < size) {
        ssize_t r = read(fd, static_cast<char*>(data) + got, size - got);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return r == 0;
        got += static_cast<size_t>(r);
    }
    return true;
}

} // namespace

int StartDetached(const TDetachedStart& start, int* error) {
    // Everything the children need is built before fork: only async-signal-safe calls after it.
    std::vector<std::string> args = start.Arguments;
    args.insert(args.begin(), start.Program);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = start.Environment;
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    char* const* environment = env.empty() ? environ : envp.data();
    const char* folder = start.Folder.empty() ? nullptr : start.Folder.c_str();
    const char* output = start.OutputFile.empty() ? nullptr : start.OutputFile.c_str();

    // The middle child sends the program's pid; the program sends errno if exec fails. A
    // successful exec closes the pipe (close-on-exec), so the starter reads end-of-file.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        if (error)
            *error = errno;
        return -1;
    }
    pid_t child = fork();
    if (child < 0) {
        if (error)
            *error = errno;
        close(fds[0]);
        close(fds[1]);
        return -1;
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
            if (folder && chdir(folder) != 0)
                err = errno;
            if (!err) {
                int in = open("/dev/null", O_RDONLY);
                if (in > 0) {
                    dup2(in, 0);
                    close(in);
                }
                if (output) {
                    int out = open(output, O_WRONLY | O_CREAT | O_APPEND, 0644);
                    if (out >= 0) {
                        dup2(out, 1);
                        dup2(out, 2);
                        if (out > 2)
                            close(out);
                    }
                }
                execve(argv[0], argv.data(), environment);
                err = errno;
            }
            ssize_t w = write(fds[1], &err, sizeof err);
            (void)w;
            _exit(127);
        }
        int pid = grandchild;
        ssize_t w = write(fds[1], &pid, sizeof pid);
        (void)w;
        _exit(grandchild < 0 ? 1 : 0);
    }
    close(fds[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int pid = -1, err = 0;
    size_t got = 0;
    const bool pidRead = ReadAll(fds[0], &pid, sizeof pid, got) && got == sizeof pid;
    size_t errGot = 0;
    ReadAll(fds[0], &err, sizeof err, errGot);
    close(fds[0]);
    if (!pidRead || pid <= 0 || errGot != 0) {
        if (error)
            *error = errGot == sizeof err ? err : ECHILD;
        return -1;
    }
    return pid;
}

} // namespace cv
