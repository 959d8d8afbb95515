#pragma once
// The simulated system's programs: copies of corvane-sim-sleeper in the install folder,
// started as the service account "corvane" (kernel processes) or as the caller (client
// processes).
#include <string>
#include <sys/types.h>
#include <vector>

namespace sim {

constexpr const char* ServiceAccount = "corvane";

// When running as root: creates the system account "corvane" unless it exists. Anything
// else (not root, no useradd) is skipped silently.
void EnsureServiceAccount();

// "<sandbox>/Corvane/prog/exec/"
std::string ExecFolder(const std::string& sandbox);
// Puts the sleeper into the install folder as `name` (a file name or a path below
// "<sandbox>/Corvane/") unless it is there already; returns its full path, empty on failure.
std::string InstallProgram(const std::string& sandbox, const std::string& name);

// Starts the program with "--threads N". As `account` when that is not empty (root only),
// else as the caller. The child stays in the caller's process group. Returns its pid, or -1.
pid_t StartProgram(const std::string& path, int threads, const std::string& account);

// The kernel processes of a running system.
class TKernelProcesses {
public:
    explicit TKernelProcesses(std::string sandbox) : FSandbox(std::move(sandbox)) {}
    void Start();
    // SIGKILL to each, then reaps them.
    void Stop();
    // Forgets them without ending them (a shutdown that leaves them behind).
    void Abandon() { FPids.clear(); }
    // Reaps the ones that ended (for instance ended by the control panel).
    void Reap();

private:
    std::string FSandbox;
    std::vector<pid_t> FPids;
};

} // namespace sim

// corvane-sim client DIR NAME [--threads N]: starts a client process of the installation,
// detached, as the caller; prints its pid.
int RunClient(int argc, char** argv);
