#pragma once
// The simulated installation's commands.
#include <string>

int RunInit(int argc, char** argv);
int RunService(int argc, char** argv);
int RunLogService(int argc, char** argv);

namespace sim {
// The full path of this executable.
std::string SelfPath();
// The sandbox of this run: --sandbox DIR, else VORNIX_SANDBOX.
std::string SandboxOf(int argc, char** argv);
bool HasFlag(int argc, char** argv, const std::string& flag);
std::string OptionValue(int argc, char** argv, const std::string& option,
                        const std::string& fallback = {});
} // namespace sim
