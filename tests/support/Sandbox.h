#pragma once
// A fresh sandbox per test, made by the simulated installation's own `init`, and torn down
// with every process the test started in it.
#include <string>
#include <vector>

namespace cvtest {

class TSandbox {
public:
    // Extra arguments go to `corvane-sim init` (for example "--hung").
    explicit TSandbox(const std::vector<std::string>& initArgs = {});
    ~TSandbox();
    TSandbox(const TSandbox&) = delete;
    TSandbox& operator=(const TSandbox&) = delete;

    const std::string& Dir() const { return FDir; }
    // Sets VORNIX_SANDBOX for this process and the processes it starts.
    void Activate() const;
    // Runs a command line to its end; returns its exit status. Standard error goes to
    // `errorFile` when one is named.
    static int Run(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                   const std::string& errorFile = {});
    static std::string SimPath();

private:
    std::string FDir;
};

} // namespace cvtest
