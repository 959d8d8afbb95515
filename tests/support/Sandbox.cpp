#include "Sandbox.h"

#include "platform/sandbox/SandboxServiceManager.h"

#include <csignal>
#include <fcntl.h>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace cvtest {

std::string TSandbox::SimPath() { return CORVANE_SIM_PATH; }

int TSandbox::Run(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                  const std::string& errorFile) {
    std::vector<char*> a;
    for (auto& s : argv)
        a.push_back(const_cast<char*>(s.c_str()));
    a.push_back(nullptr);
    std::vector<std::string> envStrings;
    for (char** e = environ; e && *e; ++e)
        envStrings.emplace_back(*e);
    for (auto& e : env)
        envStrings.push_back(e);
    std::vector<char*> envp;
    for (auto& s : envStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    // Their chatter would only clutter the test's output.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (!errorFile.empty())
        posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, a[0], &actions, nullptr, a.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TSandbox::TSandbox(const std::vector<std::string>& initArgs) {
    char tmpl[] = "/tmp/vornix-test-XXXXXX";
    if (!mkdtemp(tmpl))
        throw std::runtime_error("mkdtemp failed");
    FDir = tmpl;
    std::vector<std::string> argv = {SimPath(), "init", FDir};
    argv.insert(argv.end(), initArgs.begin(), initArgs.end());
    if (Run(argv) != 0)
        throw std::runtime_error("corvane-sim init failed");
}

namespace {

// Every process whose executable lies in the folder: the simulated system's programs, also
// those a killed service left behind.
void KillProcessesFrom(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    // Incremented with an error code: a destructor must not throw when /proc changes meanwhile.
    for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::error_code linkError;
        const std::string exe = fs::read_symlink(it->path() / "exe", linkError).string();
        if (!linkError && exe.compare(0, folder.size() + 1, folder + "/") == 0)
            kill(std::stoi(name), SIGKILL);
    }
}

} // namespace

TSandbox::~TSandbox() {
    int pid = cv::TSandboxServiceManager::ServiceProcessId(FDir, "Corvane");
    if (pid > 0) {
        kill(-pid, SIGKILL); // the service leads its own process group, with its children
        kill(pid, SIGKILL);
    }
    KillProcessesFrom(FDir);
    std::error_code ec;
    std::filesystem::remove_all(FDir, ec);
}

void TSandbox::Activate() const { setenv("VORNIX_SANDBOX", FDir.c_str(), 1); }

} // namespace cvtest
