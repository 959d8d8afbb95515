// End to end without the window: a fresh sandbox, a default certificate made for the
// computer, the web server's registry values as the panel writes them, the service started;
// then an HTTPS client that trusts only the certificate in the sandbox's "Root" store fetches
// the status page from 127.0.0.1, once checking the address and once the computer's name.
#include "CertTestSupport.h"

#include "config/CvRegistry.h"
#include "platform/FileSystem.h"
#include "platform/ServiceManager.h"
#include "platform/sandbox/SandboxRegistry.h"
#include "platform/sandbox/SandboxServiceManager.h"
#include "support/Loopback.h"
#include "support/Processes.h"
#include "support/Sandbox.h"
#include "support/TempFolder.h"
#include "tools/corvane-sim/SimHttp.h"
#include "tools/corvane-sim/SimWebServer.h"
#include "web/CryptUtils.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace cv;
using namespace cvtest;

namespace {

const char* const ComputerName = "pc1.plant.local";

template <typename F> bool WaitFor(F condition, int ms = 15000) {
    for (int waited = 0; waited < ms; waited += 50) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return condition();
}

class SimulatedWebServer : public ::testing::Test {
protected:
    void SetUp() override {
        Sandbox.Activate();
        setenv("VORNIX_COMPUTER_NAME", ComputerName, 1);
        ASSERT_EQ(Shell("command -v curl").Status, 0) << "curl is needed (scripts/install-deps.sh)";
    }
    void TearDown() override { unsetenv("VORNIX_COMPUTER_NAME"); }

    // The eight values in the order the panel writes them.
    void WriteWebUI(int port, bool https, bool localOnly, bool redirect, const std::string& serial,
                    const std::string& certName) {
        const std::string host = localOnly ? "localhost" : ComputerName;
        const bool defaultPort = port == (https ? 443 : 80);
        const std::string suffix = defaultPort ? "" : ":" + std::to_string(port);
        const std::vector<std::pair<const char*, std::string>> values = {
            {"Port", std::to_string(port)},
            {"Encrypted", https ? "True" : "False"},
            {"CertificateName", certName},
            {"CertificateSerial", serial},
            {"ForwardHTTP", redirect ? "True" : "False"},
            {"WebOriginsURL", (https ? "https://" : "http://") + host + suffix},
            {"WebOriginsWs", (https ? "wss://" : "ws://") + host + suffix},
            {"LocalhostUseOnly", localOnly ? "True" : "False"},
        };
        for (auto& [name, value] : values)
            WriteProductValue(Registry, "Corvane Pro\\WebUI", name, value);
    }

    void StartService() {
        auto scm = Services.Open(SC_MANAGER_CONNECT);
        ASSERT_TRUE(scm);
        auto service = scm->OpenService("Corvane", SERVICE_START);
        ASSERT_TRUE(service);
        ASSERT_TRUE(service->Start());
        ASSERT_TRUE(WaitFor([&] { return FileExists(StateFile()); }))
            << ReadText(Sandbox.Dir() + "/services/Corvane/service.log");
    }

    void StopService() {
        auto scm = Services.Open(SC_MANAGER_CONNECT);
        auto service = scm->OpenService("Corvane", SERVICE_STOP | SERVICE_QUERY_STATUS);
        TServiceStatusInfo status;
        ASSERT_TRUE(service->Control(SERVICE_CONTROL_STOP, status));
        ASSERT_TRUE(WaitFor([&] {
            return service->QueryStatus(status) && status.CurrentState == SERVICE_STOPPED;
        }));
    }

    std::string StateFile() const { return Sandbox.Dir() + "/sim/webserver"; }

    // The sandbox's trusted roots as one PEM file, the client's only trust.
    std::string ExportRoots() {
        const std::string path = Sandbox.Dir() + "/roots.pem";
        FILE* f = std::fopen(path.c_str(), "w");
        auto root = Store.OpenSystemStore("Root");
        root->Enumerate([&](ICertificate& c) {
            TTestX509 x = ParseDer(c.Encoded());
            PEM_write_X509(f, x.get());
            return true;
        });
        std::fclose(f);
        return path;
    }

    TSandbox Sandbox;
    TSandboxRegistry Registry{Sandbox.Dir()};
    TSandboxServiceManager Services{Sandbox.Dir()};
    TSandboxCertificateStore Store{Sandbox.Dir()};
    TRecordingSystemInfo System;
};

TEST_F(SimulatedWebServer, ServesHttpsWithTheDefaultCertificateTrustedThroughRoot) {
    TCryptUtils crypt(Store, System);
    const std::string serial = crypt.CreateDefaultCertificate(ComputerName);
    ASSERT_FALSE(serial.empty()) << (System.Lines.empty() ? "" : System.Lines.back());
    const int port = FreePort();
    const int redirectPort = FreePort();
    WriteFileAtomic(Sandbox.Dir() + "/sim/web-redirect-port", std::to_string(redirectPort));
    WriteWebUI(port, true, false, true, serial, "pc1.plant.local, default");
    StartService();
    EXPECT_EQ(ReadText(StateFile()), "https 0.0.0.0:" + std::to_string(port) + " certificate " +
                                         serial + "\nredirect 0.0.0.0:" +
                                         std::to_string(redirectPort) + "\n");

    const std::string roots = ExportRoots();
    const std::string p = std::to_string(port);
    const std::string curl = "curl --silent --show-error --fail --max-time 20 --cacert " + roots + " ";
    TRun byAddress = Shell(curl + "https://127.0.0.1:" + p + "/");
    EXPECT_EQ(byAddress.Status, 0);
    EXPECT_NE(byAddress.Output.find("The system is running on pc1.plant.local."), std::string::npos)
        << byAddress.Output;
    TRun byName = Shell(curl + "--resolve " + ComputerName + std::string(":") + p + ":127.0.0.1 https://" +
                      ComputerName + ":" + p + "/");
    EXPECT_EQ(byName.Status, 0);
    EXPECT_NE(byName.Output.find("<h1>Corvane</h1>"), std::string::npos);
    // Another name on the same address is refused: the names are really checked.
    EXPECT_EQ(Shell(curl + "--resolve other.plant.local:" + p + ":127.0.0.1 https://other.plant.local:" +
                  p + "/")
                  .Status,
              60);

    // Plain requests are sent on to HTTPS, under the name they came with.
    TRun redirect = Shell("curl --silent --max-time 20 -o /dev/null -w '%{http_code} %{redirect_url}' "
                        "http://127.0.0.1:" + std::to_string(redirectPort) + "/status?x=1");
    EXPECT_EQ(redirect.Output, "301 https://127.0.0.1:" + p + "/status?x=1");

    StopService();
    EXPECT_FALSE(FileExists(StateFile()));
    EXPECT_EQ(Shell(curl + "https://127.0.0.1:" + p + "/").Status, 7) << "nothing listens any more";
}

TEST_F(SimulatedWebServer, LocalOnlyModeServesPlainHttpOnLoopback) {
    const int port = FreePort();
    WriteWebUI(port, false, true, false, "", "");
    StartService();
    EXPECT_EQ(ReadText(StateFile()), "http 127.0.0.1:" + std::to_string(port) + "\n");
    TRun page = Shell("curl --silent --fail --max-time 20 http://127.0.0.1:" + std::to_string(port) + "/");
    EXPECT_EQ(page.Status, 0);
    EXPECT_NE(page.Output.find("running on pc1.plant.local"), std::string::npos);
    TRun missing = Shell("curl --silent --max-time 20 -o /dev/null -w '%{http_code}' http://127.0.0.1:" +
                       std::to_string(port) + "/other");
    EXPECT_EQ(missing.Output, "404");
}

TEST_F(SimulatedWebServer, NoHttpsAndNoRedirectWithoutAUsableCertificate) {
    const int port = FreePort();
    WriteFileAtomic(Sandbox.Dir() + "/sim/web-redirect-port", std::to_string(FreePort()));
    WriteWebUI(port, true, false, true, "0123456789", "gone");
    StartService();
    EXPECT_EQ(ReadText(StateFile()), "https unavailable certificate 0123456789 is not in the store\n");
    EXPECT_NE(ReadText(Sandbox.Dir() + "/services/Corvane/service.log")
                  .find("web server: no HTTPS: certificate 0123456789 is not in the store"),
              std::string::npos);
}

TEST_F(SimulatedWebServer, TheFlagFileKeepsItFromStarting) {
    WriteFileAtomic(Sandbox.Dir() + "/sim/web-off", "");
    auto scm = Services.Open(SC_MANAGER_CONNECT);
    auto service = scm->OpenService("Corvane", SERVICE_START);
    ASSERT_TRUE(service && service->Start());
    EXPECT_TRUE(WaitFor([&] {
        return ReadText(Sandbox.Dir() + "/services/Corvane/service.log").find("web server: off") !=
               std::string::npos;
    }));
    EXPECT_FALSE(FileExists(StateFile()));
}

TEST(SimulatedWebSettings, ReadAsTheSystemsWebServerReadsThem) {
    TTempFolder temp;
    TSandboxRegistry registry(temp.Dir());
    ASSERT_TRUE(registry.CreateKey(std::string(ProductsKey) + "Corvane Pro\\WebUI", KEY_WRITE));
    struct TCase {
        std::vector<std::pair<const char*, const char*>> Values;
        int Port;
        bool Encrypted, Forward, LocalOnly;
        const char* Host;
        const char* PortProblem;
    };
    const std::vector<TCase> cases = {
        {{}, 443, true, true, false, "pc1.plant.local", ""},
        {{{"Port", "8443"}, {"Encrypted", "false"}, {"ForwardHTTP", "FALSE"}, {"LocalhostUseOnly", "true"},
          {"WebOriginsURL", "https://web.plant.local:8443"}},
         8443, true, true, false, "web.plant.local", ""},
        {{{"Port", "80"}, {"Encrypted", "False"}, {"ForwardHTTP", "False"}, {"LocalhostUseOnly", "True"},
          {"WebOriginsURL", "http://localhost"}},
         80, false, false, true, "localhost", ""},
        {{{"Port", "eighty"}, {"WebOriginsURL", "pc9"}}, 443, true, true, false, "pc1.plant.local", "eighty"},
        {{{"Port", "65536"}}, 443, true, true, false, "pc1.plant.local", "65536"},
    };
    for (auto& c : cases) {
        for (const char* name : {"Port", "Encrypted", "ForwardHTTP", "LocalhostUseOnly", "WebOriginsURL"})
            WriteProductValue(registry, "Corvane Pro\\WebUI", name, "");
        for (auto& [name, value] : c.Values)
            WriteProductValue(registry, "Corvane Pro\\WebUI", name, value);
        sim::TWebSettings s = sim::ReadWebSettings(registry, "pc1.plant.local");
        SCOPED_TRACE(c.Values.empty() ? "no values" : c.Values[0].second);
        EXPECT_EQ(s.Port, c.Port);
        EXPECT_EQ(s.Encrypted, c.Encrypted);
        EXPECT_EQ(s.ForwardHTTP, c.Forward);
        EXPECT_EQ(s.LocalOnly, c.LocalOnly);
        EXPECT_EQ(s.HostName, c.Host);
        EXPECT_EQ(s.PortProblem, c.PortProblem);
    }
}

TEST(SimulatedWebRequests, RedirectsNameOnlyWellFormedHostsAndPaths) {
    sim::TRequestHead r;
    ASSERT_TRUE(sim::ParseRequestHead("GET /a?b=1 HTTP/1.1\r\nHost: pc1:8080\r\nAccept: */*", r));
    EXPECT_EQ(r.Method, "GET");
    EXPECT_EQ(r.Target, "/a?b=1");
    EXPECT_EQ(r.Host, "pc1:8080");
    for (const char* bad : {"GET / HTTP/2.0", "GET /", "GET  / HTTP/1.1", "G\x01T / HTTP/1.1",
                            "GET / HTTP/1.1\r\nHost: a\r\nHost: b", "GET / HTTP/1.1\r\nno colon"})
        EXPECT_FALSE(sim::ParseRequestHead(bad, r)) << bad;

    struct TCase {
        const char* Host;
        const char* Expected;
    };
    for (auto& c : std::vector<TCase>{{"pc1.plant.local", "pc1.plant.local"},
                                      {"127.0.0.1:8080", "127.0.0.1"},
                                      {"[::1]:80", "[::1]"},
                                      {"evil.com/x", ""},
                                      {"a b", ""},
                                      {"pc1:80:80", ""},
                                      {"[::1", ""},
                                      {"", ""}})
        EXPECT_EQ(sim::RedirectHost(c.Host), c.Expected) << c.Host;
    EXPECT_EQ(sim::RedirectPath("/status?x=1"), "/status?x=1");
    EXPECT_EQ(sim::RedirectPath("//evil.com/"), "/");
    EXPECT_EQ(sim::RedirectPath("http://x/"), "/");
    EXPECT_EQ(sim::HtmlEscape("<a href=\"x\">&'"), "&lt;a href=&quot;x&quot;&gt;&amp;&#39;");
}

} // namespace
