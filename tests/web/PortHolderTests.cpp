#include "web/PortHolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifndef _WIN32
#include "platform/Platform.h"
#include "support/Loopback.h"
#include "support/Processes.h"

#include <unistd.h>
#endif

using namespace cv;

namespace {

// Answers with a fixed list, or fails; counts the look-ups.
class TFakeListeners : public IPortListeners {
public:
    bool Ok = true;
    std::vector<TPortListener> List;
    int Calls = 0;
    bool Find(uint16_t, std::vector<TPortListener>& out) override {
        ++Calls;
        out = Ok ? List : std::vector<TPortListener>{};
        return Ok;
    }
};

struct TCase {
    const char* Name;
    std::vector<TPortListener> List;
    std::set<uint32_t> Own; // the web server's processes
    std::string Expected;
};

const TCase Cases[] = {
    {"nobody listens", {}, {}, ""},
    {"only the web server", {{1200, "websrv", "0.0.0.0"}, {1200, "websrv", "::"}}, {1200}, ""},
    {"the web server and another program",
     {{900, "other-server", "::"}, {1200, "websrv", "0.0.0.0"}},
     {1200},
     "Port 8443 is in use by other-server (PID 900)"},
    {"the lowest process id of several", // a server and its worker sharing the socket
     {{1201, "worker", "0.0.0.0"}, {1200, "master", "0.0.0.0"}},
     {},
     "Port 8443 is in use by master (PID 1200)"},
    {"a known owner before an unknown one",
     {{0, "", "127.0.0.1"}, {4321, "holder", "0.0.0.0"}},
     {},
     "Port 8443 is in use by holder (PID 4321)"},
    {"an owner that cannot be seen",
     {{0, "", "::1"}},
     {1200},
     "Port 8443 is in use by another program"},
    {"an unseen owner is not the web server even when 0 is named",
     {{0, "", "::1"}},
     {0},
     "Port 8443 is in use by another program"},
    {"a name that could break the label",
     {{77, "evil\nname\x7f", "0.0.0.0"}},
     {},
     "Port 8443 is in use by evil?name? (PID 77)"},
    {"a known process without a name",
     {{78, "", "0.0.0.0"}},
     {},
     "Port 8443 is in use by another program (PID 78)"},
};

TEST(PortHolder, WarningNamesTheProgramHoldingThePort) {
    for (const TCase& c : Cases) {
        SCOPED_TRACE(c.Name);
        TFakeListeners listeners;
        listeners.List = c.List;
        EXPECT_EQ(PortInUseWarning(listeners, 8443, OwnServerProcesses(c.Own)), c.Expected);
    }
}

TEST(PortHolder, NoWarningWhenTheTablesCannotBeReadOrThePortIsZero) {
    TFakeListeners listeners;
    listeners.List = {{900, "other-server", "::"}};
    EXPECT_EQ(PortInUseWarning(listeners, 0), "");
    EXPECT_EQ(listeners.Calls, 0);
    listeners.Ok = false;
    EXPECT_EQ(PortInUseWarning(listeners, 8443), "");
    EXPECT_FALSE(FindPortHolder(listeners, 8443).has_value());
}

TEST(PortHolder, TheWebServerCanBeRecognisedByAnyPredicate) {
    TFakeListeners listeners;
    listeners.List = {{900, "websrv", "::"}, {950, "intruder", "0.0.0.0"}};
    auto byName = [](const TPortListener& l) { return l.ExeName == "websrv"; };
    auto holder = FindPortHolder(listeners, 65535, byName);
    ASSERT_TRUE(holder.has_value());
    EXPECT_EQ(holder->ProcessID, 950u);
    EXPECT_EQ(PortHolderText(65535, *holder), "Port 65535 is in use by intruder (PID 950)");
}

#ifndef _WIN32
// The whole way the panel goes: the platform bundle's backend on a real listener.
TEST(PortHolder, WarnsAboutARealListenerUnlessItIsTheWebServer) {
    auto listeners = CreatePlatform().Listeners;
    const uint32_t pid = static_cast<uint32_t>(::getpid());
    uint16_t port = 0;
    {
        cvtest::TLoopbackListener listener;
        port = listener.Port;
        ASSERT_NE(port, 0);
        EXPECT_EQ(PortInUseWarning(*listeners, port), "Port " + std::to_string(port) +
                                                          " is in use by " + cvtest::OwnExeName() +
                                                          " (PID " + std::to_string(pid) + ")");
        EXPECT_EQ(PortInUseWarning(*listeners, port, OwnServerProcesses({pid})), "");
    }
    EXPECT_EQ(PortInUseWarning(*listeners, port), "");
}
#endif

} // namespace
