// corvane-sim init DIR: a new sandbox holding a sample installation.
#include "Sim.h"
#include "SimEvents.h"
#include "SimProduct.h"
#include "SimScripts.h"

#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/ServiceManager.h"
#include "platform/sandbox/SandboxCertificateStore.h"
#include "platform/sandbox/SandboxRegistry.h"
#include "platform/sandbox/SandboxServiceManager.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace {

std::string CrLf(const std::vector<std::string>& lines) {
    std::string s;
    for (auto& l : lines)
        s += l + "\r\n";
    return s;
}

// The parameter file as an installer leaves it: comments, commented-out lines, blank lines.
std::string KernelParams() {
    return CrLf({
        ";==============================================================================",
        "; Corvane kernel parameters",
        "; Read by the Corvane service when it starts. Sizes in MB.",
        ";==============================================================================",
        "",
        "[KERNEL]",
        "; Global memory pool shared by all applications (256 - 2560)",
        "MEMORY_POOL_SIZE = 512            ; set by installer",
        "",
        "; Largest private memory pool of one application (128 - 512)",
        ";MAX_PRIVATE_MEMORY_POOL_SIZE = 128",
        "MAX_PRIVATE_MEMORY_POOL_SIZE = 256",
        "",
        "; Scheduler",
        "SCHEDULER_TICK_MS = 10",
        "WATCHDOG_TIMEOUT = 30             ; seconds",
        ";TRACE_LEVEL = 2",
        "",
    });
}

std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// A stand-in for one of the installation's tools: it appends one line to sim/launches.log,
// "<its own path> TAB <working folder> TAB <argument> TAB ...", and ends. The path tells
// copies of one name apart (System32 or Sysnative).
bool WriteStub(const std::string& path, const std::string& name, const std::string& sandbox) {
    std::string script = "#!/bin/sh\n"
                         "# Stand-in for " +
                         name +
                         " in the simulated installation: records how it was started.\n"
                         "tab=$(printf '\\t')\n"
                         "line=" +
                         ShellQuote(path) +
                         "\"${tab}$(pwd)\"\n"
                         "for a in \"$@\"; do line=\"${line}${tab}${a}\"; done\n"
                         "printf '%s\\n' \"$line\" >> " +
                         ShellQuote(sandbox + "/sim/launches.log") + "\n";
    auto slash = path.find_last_of('/');
    cv::ForceDirectories(path.substr(0, slash));
    cv::WriteFileAtomic(path, script);
    return chmod(path.c_str(), 0755) == 0;
}

bool WriteKey(cv::IRegistry& registry, uint32_t view, const std::string& product,
              const std::vector<std::pair<std::string, std::string>>& values) {
    auto key = registry.CreateKey(std::string("\\SOFTWARE\\Vekta\\Products\\") + product,
                                  cv::KEY_WRITE | cv::KEY_QUERY_VALUE | view);
    if (!key)
        return false;
    for (auto& [name, value] : values)
        if (!key->WriteString(name, value))
            return false;
    return true;
}

} // namespace

int RunInit(int argc, char** argv) {
    if (argc < 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "corvane-sim init: missing folder\n");
        return 2;
    }
    std::string dir = argv[1];
    char* real = realpath(dir.c_str(), nullptr);
    if (!real) {
        if (!cv::ForceDirectories(dir)) {
            std::fprintf(stderr, "corvane-sim init: cannot create %s\n", dir.c_str());
            return 1;
        }
        real = realpath(dir.c_str(), nullptr);
    }
    dir = real;
    std::free(real);

    for (const char* sub : {"/AppData/Roaming", "/Windows/System32", "/Windows/Sysnative",
                            "/services", "/sim", "/bin", "/registry"})
        cv::ForceDirectories(dir + sub);

    std::vector<std::string> command = {sim::SelfPath(), "service", "--name", "Corvane"};
    if (sim::HasFlag(argc, argv, "--hung"))
        command.push_back("--hung");
    int startType = std::atoi(sim::OptionValue(argc, argv, "--start-type", "3").c_str());
    if (!cv::TSandboxServiceManager::RegisterService(dir, "Corvane",
                                                     static_cast<uint32_t>(startType), command)) {
        std::fprintf(stderr, "corvane-sim init: cannot register the service in %s\n", dir.c_str());
        return 1;
    }

    const bool warden = !sim::HasFlag(argc, argv, "--no-warden");
    const bool wardenInInstall = sim::HasFlag(argc, argv, "--warden-in-install");
    try {
        // A 32-bit program on 64-bit Windows, unless told otherwise.
        if (!sim::HasFlag(argc, argv, "--no-wow64"))
            cv::WriteFileAtomic(dir + "/wow64", "");

        const std::string install = dir + "/Corvane/";
        cv::ForceDirectories(install + "sys/active/sys_");
        cv::ForceDirectories(install + "prog/exec");
        cv::ForceDirectories(install + "prog/utils/security");
        cv::ForceDirectories(dir + "/CorvanePro/Services/Resources");
        cv::WriteFileAtomic(install + "sys/active/sys_/kernel_params.par", KernelParams());
        cv::WriteFileAtomic(install + "sys/active/sys_/kernel_setup.lum", KernelSetupScript());
        cv::WriteFileAtomic(install + "prog/exec/stop_sequence.lum", StopSequenceScript());
        sim::RegisterEventPublishers(dir);
        cv::WriteFileAtomic(dir + "/CorvanePro/Services/Resources/product.xml", sim::ProductXml());
        if (!cv::FileExists(dir + "/sim/launches.log"))
            cv::WriteFileAtomic(dir + "/sim/launches.log", "");

        bool ok = true;
        for (const char* tool : {"pwchange.exe", "cfgwizard.exe", "sysreport.exe"})
            ok &= WriteStub(install + "prog/exec/" + tool, tool, dir);
        // Started without a folder: found on the search path (the demo puts DIR/bin there).
        ok &= WriteStub(dir + "/bin/appsetup.exe", "appsetup.exe", dir);
        ok &= WriteStub(dir + "/bin/Notify.exe", "Notify.exe", dir);
        ok &= WriteStub(dir + "/Windows/System32/cmd.exe", "cmd.exe", dir);
        ok &= WriteStub(dir + "/Windows/Sysnative/cmd.exe", "cmd.exe", dir);
        if (warden && !wardenInInstall)
            ok &= WriteStub(dir + "/Warden/Vekta.Warden/Vekta.Warden.exe", "Vekta.Warden.exe", dir);
        if (warden && wardenInInstall)
            ok &= WriteStub(install + "prog/utils/security/Vekta.Warden.exe", "Vekta.Warden.exe",
                            dir);

        // The installer writes as an administrator whatever rights the sandbox grants later.
        unsetenv("VORNIX_SANDBOX_RIGHTS");
        cv::TSandboxRegistry registry(dir);
        const uint32_t view = sim::HasFlag(argc, argv, "--registry-64") ? cv::KEY_WOW64_64KEY : 0;
        ok &= WriteKey(registry, view, "VORNIX", {{"Path", install}});
        if (warden && !wardenInInstall)
            ok &= WriteKey(registry, view, "Corvane Pro\\Warden", {{"Path", dir + "/Warden/"}});
        ok &= WriteKey(registry, view, "Corvane Pro\\Services", {{"Path", dir + "/CorvanePro/"}});
        ok &= WriteKey(registry, view, "Corvane Pro\\WebUI",
                       {{"Port", "443"},
                        {"Encrypted", "True"},
                        {"CertificateName", ""},
                        {"CertificateSerial", ""},
                        {"ForwardHTTP", "True"},
                        {"WebOriginsURL", ""},
                        {"WebOriginsWs", ""},
                        {"LocalhostUseOnly", "False"}});
        // The computer's certificate stores, empty until a certificate is made.
        cv::TSandboxCertificateStore certificates(dir);
        ok &= certificates.OpenSystemStore("My") != nullptr;
        ok &= certificates.OpenSystemStore("Root") != nullptr;
        if (!ok) {
            std::fprintf(stderr, "corvane-sim init: cannot write the installation in %s\n",
                         dir.c_str());
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "corvane-sim init: %s\n", e.what());
        return 1;
    }
    std::printf("%s\n", dir.c_str());
    return 0;
}
