#include "SimProcesses.h"

#include "Sim.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

namespace sim {

namespace {

struct TKernelProgram {
    const char* Name;
    int Threads;
};

// The programs a running system keeps going, each with its own thread count.
constexpr TKernelProgram KernelPrograms[] = {
    {"cvkernel.exe", 4},
    {"cvscheduler.exe", 2},
    {"cvhistorian.exe", 3},
};

std::string SleeperPath() {
    std::string self = SelfPath();
    return self.substr(0, self.find_last_of('/') + 1) + "corvane-sim-sleeper";
}

bool RunQuietly(const std::vector<std::string>& argv) {
    pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            dup2(devnull, 1);
            dup2(devnull, 2);
        }
        std::vector<char*> a;
        for (auto& s : argv)
            a.push_back(const_cast<char*>(s.c_str()));
        a.push_back(nullptr);
        execv(a[0], a.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The account can run programs of a sandbox that mkdtemp made private: every folder from
// the sandbox down to the program must be searchable by others.
void MakeTraversable(const std::string& sandbox, const std::string& program) {
    std::string folder = program.substr(0, program.find_last_of('/'));
    while (folder.size() >= sandbox.size()) {
        struct stat st {};
        if (stat(folder.c_str(), &st) == 0 && (st.st_mode & 0011) != 0011)
            chmod(folder.c_str(), (st.st_mode & 07777) | 0011);
        if (folder.size() == sandbox.size())
            break;
        folder = folder.substr(0, folder.find_last_of('/'));
    }
}

} // namespace

void EnsureServiceAccount() {
    if (geteuid() != 0 || getpwnam(ServiceAccount))
        return;
    // Parallel inits would race each other in useradd; take turns.
    int lock = open("/tmp/vornix-corvane-account.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock >= 0)
        flock(lock, LOCK_EX);
    if (!getpwnam(ServiceAccount))
        for (const char* tool : {"/usr/sbin/useradd", "/sbin/useradd"})
            if (access(tool, X_OK) == 0) {
                RunQuietly({tool, "--system", "--no-create-home", "--shell", "/usr/sbin/nologin",
                            ServiceAccount});
                break;
            }
    if (lock >= 0)
        close(lock);
}

std::string ExecFolder(const std::string& sandbox) {
    return sandbox + "/Corvane/prog/exec/";
}

std::string InstallProgram(const std::string& sandbox, const std::string& name) {
    namespace fs = std::filesystem;
    const std::string path = name.find('/') == std::string::npos ? ExecFolder(sandbox) + name
                                                                 : sandbox + "/Corvane/" + name;
    std::error_code ec;
    if (fs::exists(path, ec))
        return path;
    fs::create_directories(fs::path(path).parent_path(), ec);
    // Beside, then renamed: a service and a client installing at once both find a whole file.
    const std::string temp = path + ".tmp" + std::to_string(getpid());
    if (link(SleeperPath().c_str(), temp.c_str()) != 0) {
        fs::copy_file(SleeperPath(), temp, fs::copy_options::overwrite_existing, ec);
        if (ec)
            return {};
    }
    chmod(temp.c_str(), 0755);
    if (rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return {};
    }
    return path;
}

pid_t StartProgram(const std::string& path, int threads, const std::string& account) {
    // Everything the child needs is prepared before fork.
    const std::string threadText = std::to_string(threads);
    std::vector<char*> argv = {const_cast<char*>(path.c_str()), const_cast<char*>("--threads"),
                               const_cast<char*>(threadText.c_str()), nullptr};
    bool switchUser = false;
    uid_t uid = 0;
    gid_t gid = 0;
    if (!account.empty() && geteuid() == 0) {
        if (passwd* pw = getpwnam(account.c_str())) {
            switchUser = true;
            uid = pw->pw_uid;
            gid = pw->pw_gid;
        }
    }
    // The pipe closes on exec: the caller returns only once the program runs as itself, so a
    // process list taken right after names it by its own executable, not by this one.
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0)
        return -1;
    pid_t pid = fork();
    if (pid != 0) {
        close(ready[1]);
        char failed = 0;
        ssize_t n;
        while ((n = read(ready[0], &failed, 1)) < 0 && errno == EINTR) {
        }
        close(ready[0]);
        if (pid > 0 && n == 1) { // the child could not exec
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
            // 126: the account could not be taken on; 127: the program could not be run (a
            // folder above the sandbox the account cannot enter, for instance).
            std::printf("note: %s could not start (exit %d)\n", path.c_str(), int(failed));
            std::fflush(stdout);
            return -1;
        }
        return pid;
    }
    close(ready[0]);
    int devnull = open("/dev/null", O_RDONLY);
    if (devnull >= 0)
        dup2(devnull, 0);
    char failed = 126;
    if (!switchUser || (setgroups(0, nullptr) == 0 && setgid(gid) == 0 && setuid(uid) == 0)) {
        execv(argv[0], argv.data());
        failed = 127;
    }
    ssize_t ignored = write(ready[1], &failed, 1);
    (void)ignored;
    _exit(failed);
}

void TKernelProcesses::Start() {
    const bool asAccount = geteuid() == 0 && getpwnam(ServiceAccount) != nullptr;
    if (!asAccount) {
        std::printf("note: no service account \"%s\" (needs root): the kernel processes run as "
                    "the current user and count as client processes\n",
                    ServiceAccount);
        std::fflush(stdout);
    }
    for (const auto& program : KernelPrograms) {
        const std::string path = InstallProgram(FSandbox, program.Name);
        if (path.empty())
            continue;
        if (asAccount)
            MakeTraversable(FSandbox, path);
        pid_t pid = StartProgram(path, program.Threads, asAccount ? ServiceAccount : "");
        if (pid > 0)
            FPids.push_back(pid);
    }
}

void TKernelProcesses::Stop() {
    for (pid_t pid : FPids)
        kill(pid, SIGKILL);
    for (pid_t pid : FPids)
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    FPids.clear();
}

void TKernelProcesses::Reap() {
    int status = 0;
    pid_t pid;
    // A program that could not start is reported by StartProgram; here ended ones are reaped.
    while ((pid = waitpid(-1, &status, WNOHANG)) > 0) {
    }
}

} // namespace sim

int RunClient(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "corvane-sim client: DIR NAME [--threads N]\n");
        return 2;
    }
    const std::string sandbox = argv[1];
    const std::string path = sim::InstallProgram(sandbox, argv[2]);
    if (path.empty()) {
        std::fprintf(stderr, "corvane-sim client: cannot install %s\n", argv[2]);
        return 1;
    }
    const int threads = std::atoi(sim::OptionValue(argc, argv, "--threads", "1").c_str());
    // Double fork: the client runs on after this command, and init reaps it.
    int fds[2];
    if (pipe(fds) != 0)
        return 1;
    pid_t child = fork();
    if (child < 0)
        return 1;
    if (child == 0) {
        close(fds[0]);
        setsid();
        pid_t grandchild = sim::StartProgram(path, threads, "");
        ssize_t ignored = write(fds[1], &grandchild, sizeof grandchild);
        (void)ignored;
        _exit(grandchild > 0 ? 0 : 1);
    }
    close(fds[1]);
    pid_t pid = -1;
    ssize_t n = read(fds[0], &pid, sizeof pid);
    close(fds[0]);
    waitpid(child, nullptr, 0);
    if (n != sizeof pid || pid <= 0)
        return 1;
    std::printf("%d\n", static_cast<int>(pid));
    return 0;
}
