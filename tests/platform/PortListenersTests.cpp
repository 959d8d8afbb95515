#include "platform/Platform.h"
#include "platform/posix/PosixPortListeners.h"
#include "support/Processes.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <bit>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace cv {
void PrintTo(const TPortListener& l, std::ostream* os) {
    *os << "{" << l.ProcessID << ", \"" << l.ExeName << "\", \"" << l.Address << "\"}";
}
} // namespace cv

using namespace cv;

namespace {

// ---- A made-up process file system -------------------------------------------------------

class TFakeProc {
public:
    const std::string& Root() const { return FDir.Dir(); }
    void Write(const std::string& path, const std::string& text) {
        std::filesystem::create_directories(
            std::filesystem::path(Root() + "/" + path).parent_path());
        std::ofstream(Root() + "/" + path) << text;
    }
    void Link(const std::string& path, const std::string& target) {
        std::filesystem::create_directories(
            std::filesystem::path(Root() + "/" + path).parent_path());
        std::filesystem::create_symlink(target, Root() + "/" + path);
    }
    void Remove(const std::string& path) { std::filesystem::remove_all(Root() + "/" + path); }

private:
    cvtest::TTempFolder FDir;
};

const char* const Heading =
    "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout "
    "inode\n";

std::string Row(const char* local, const char* remote, const char* state, const char* inode) {
    return std::string("   0: ") + local + " " + remote + " " + state +
           " 00000000:00000000 00:00000000 00000000     0        0 " + inode +
           " 1 0000000000000000 100 0 0 10 0\n";
}

const char* const Any4 = "00000000:0000";
const char* const Any6 = "00000000000000000000000000000000:0000";

// Port 8080 (1F90): a socket shared by a server and its worker, an IPv6 one whose owner shows
// only its short name, two with no visible owner, and what must not count: a connection on the
// same port, a listener on another port, a process that ended, a pipe with a socket's number.
void FillTree(TFakeProc& proc) {
    proc.Write("net/tcp", std::string(Heading) + Row("00000000:1F90", Any4, "0A", "1001") +
                              Row("0100007F:1F90", "0100007F:C350", "01", "1002") +
                              Row("00000000:1F91", Any4, "0A", "1003") +
                              Row("0100007F:1F90", Any4, "0A", "1004") + "garbage line\n" +
                              Row("0100007F:1F90", "0100007F:C351", "06", "0"));
    proc.Write("net/tcp6", std::string(Heading) +
                               Row("00000000000000000000000000000000:1F90", Any6, "0A", "1005") +
                               Row("00000000000000000000000001000000:1F90", Any6, "0A", "1006"));
    proc.Link("100/exe", "/usr/local/bin/alpha-server");
    proc.Link("100/fd/3", "socket:[1001]");
    proc.Link("100/fd/4", "socket:[1003]");
    proc.Link("100/fd/5", "/dev/null");
    proc.Link("100/fd/6", "socket:[1001]"); // a duplicate descriptor of the same socket
    proc.Link("200/exe", "/opt/beta/beta-worker (deleted)");
    proc.Link("200/fd/7", "socket:[1001]");
    proc.Link("300/exe", "/usr/bin/client");
    proc.Link("300/fd/3", "socket:[1002]");
    proc.Link("300/fd/4", "pipe:[1004]");
    proc.Write("400/comm", "gamma\n");
    proc.Link("400/fd/9", "socket:[1005]");
    // Its directory is still listed, but exe and comm are gone: it ended during the look-up.
    proc.Link("500/fd/3", "socket:[1006]");
    proc.Link("self", "100");
    proc.Write("net/unix", "");
}

TEST(PortListeners, FindsEveryHolderOfThePortInAProcessTree) {
    if constexpr (std::endian::native != std::endian::little)
        GTEST_SKIP() << "the fixture's addresses are little-endian words";
    TFakeProc proc;
    FillTree(proc);
    TPosixPortListeners listeners(proc.Root());
    std::vector<TPortListener> found;
    ASSERT_TRUE(listeners.Find(8080, found));
    const std::vector<TPortListener> expected = {
        {100, "alpha-server", "0.0.0.0"},
        {200, "beta-worker", "0.0.0.0"},
        {400, "gamma", "::"},
        {0, "", "127.0.0.1"}, // nobody visible holds it
        {0, "", "::1"},       // its holder ended, the socket is still listed
    };
    EXPECT_EQ(found, expected);

    ASSERT_TRUE(listeners.Find(8081, found));
    EXPECT_EQ(found, (std::vector<TPortListener>{{100, "alpha-server", "0.0.0.0"}}));
    ASSERT_TRUE(listeners.Find(50000, found)); // only a connection's remote end
    EXPECT_TRUE(found.empty());
    ASSERT_TRUE(listeners.Find(0, found));
    EXPECT_TRUE(found.empty());
}

TEST(PortListeners, TablesThatCannotBeReadFailOnlyForIPv4) {
    TFakeProc proc;
    FillTree(proc);
    TPosixPortListeners listeners(proc.Root());
    std::vector<TPortListener> found;

    proc.Remove("net/tcp6"); // a kernel without IPv6
    ASSERT_TRUE(listeners.Find(8080, found));
    EXPECT_EQ(found.size(), 3u);

    proc.Remove("net/tcp");
    found.push_back({});
    EXPECT_FALSE(listeners.Find(8080, found));
    EXPECT_TRUE(found.empty());
}

// ---- Real sockets --------------------------------------------------------------------------

class TSocket {
public:
    TSocket() = default;
    explicit TSocket(int fd) : FFd(fd) {}
    TSocket(TSocket&& o) noexcept : FFd(std::exchange(o.FFd, -1)) {}
    TSocket& operator=(TSocket&& o) noexcept {
        std::swap(FFd, o.FFd);
        return *this;
    }
    ~TSocket() { Close(); }
    void Close() {
        if (FFd >= 0)
            ::close(std::exchange(FFd, -1));
    }
    int Fd() const { return FFd; }

private:
    int FFd = -1;
};

// Binds a socket to a free port of `address` and, when asked, listens. Its port in `port`;
// an empty socket when the address family is not available here.
TSocket Bind(const std::string& address, bool listen, uint16_t& port) {
    sockaddr_storage storage{};
    socklen_t length = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
    if (inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        length = sizeof *v4;
    } else {
        EXPECT_EQ(inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr), 1) << address;
        v6->sin6_family = AF_INET6;
        length = sizeof *v6;
    }
    TSocket s(::socket(storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (s.Fd() < 0 || ::bind(s.Fd(), reinterpret_cast<sockaddr*>(&storage), length) != 0)
        return {};
    if (listen && ::listen(s.Fd(), 4) != 0)
        return {};
    length = sizeof storage;
    EXPECT_EQ(::getsockname(s.Fd(), reinterpret_cast<sockaddr*>(&storage), &length), 0);
    port = ntohs(storage.ss_family == AF_INET ? v4->sin_port : v6->sin6_port);
    return s;
}

using cvtest::OwnExeName;

uint32_t OwnPid() {
    return static_cast<uint32_t>(::getpid());
}

std::vector<TPortListener> Held(IPortListeners& listeners, uint16_t port) {
    std::vector<TPortListener> found;
    EXPECT_TRUE(listeners.Find(port, found));
    return found;
}

bool HasProcess(const std::vector<TPortListener>& found, uint32_t pid) {
    for (const TPortListener& l : found)
        if (l.ProcessID == pid)
            return true;
    return false;
}

TEST(PortListeners, FindsThisProcessListeningOnEachKindOfAddress) {
    // The bundle's backend: the machine's own ports, with or without a sandbox.
    auto listeners = CreatePlatform().Listeners;
    ASSERT_TRUE(listeners);
    for (const char* address : {"0.0.0.0", "127.0.0.1", "::", "::1"}) {
        SCOPED_TRACE(address);
        uint16_t port = 0;
        TSocket listener = Bind(address, true, port);
        if (listener.Fd() < 0) {
            ASSERT_EQ(std::string(address).find(':'), 0u) << "IPv4 is always there";
            std::printf("no IPv6 here; %s not checked\n", address);
            continue;
        }
        EXPECT_EQ(Held(*listeners, port),
                  (std::vector<TPortListener>{{OwnPid(), OwnExeName(), address}}));
        listener.Close();
        EXPECT_FALSE(HasProcess(Held(*listeners, port), OwnPid()));
    }
}

// A connection accepted on the port has the same local port; it is not a listener.
TEST(PortListeners, ConnectionsOnThePortAreNotListeners) {
    TPosixPortListeners listeners;
    uint16_t port = 0;
    TSocket listener = Bind("127.0.0.1", true, port);
    ASSERT_GE(listener.Fd(), 0);
    TSocket client(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(client.Fd(), reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    TSocket accepted(::accept4(listener.Fd(), nullptr, nullptr, SOCK_CLOEXEC));
    ASSERT_GE(accepted.Fd(), 0);

    EXPECT_EQ(Held(listeners, port).size(), 1u);
    listener.Close();
    EXPECT_FALSE(HasProcess(Held(listeners, port), OwnPid()));
}

TEST(PortListeners, ABoundPortNobodyListensOnGivesNothing) {
    TPosixPortListeners listeners;
    uint16_t port = 0;
    TSocket bound = Bind("0.0.0.0", false, port); // holds the port, so nobody else listens there
    ASSERT_GE(bound.Fd(), 0);
    EXPECT_TRUE(Held(listeners, port).empty());
}

// The probe program, started with pipes on its standard input and output. Ends it on
// destruction.
class TProbe {
public:
    // `inherit`: a descriptor the child keeps (its number stays the same).
    TProbe(const std::string& argument, int inherit = -1) {
        int toChild[2], fromChild[2];
        EXPECT_EQ(::pipe2(toChild, O_CLOEXEC), 0);
        EXPECT_EQ(::pipe2(fromChild, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
        if (inherit >= 0) {
            // A descriptor dup'd onto itself loses its close-on-exec flag in the child only.
            posix_spawn_file_actions_adddup2(&actions, inherit, inherit);
        }
        const std::string program = LISTEN_PROBE_PATH;
        char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument.c_str()),
                        nullptr};
        pid_t pid = -1;
        EXPECT_EQ(::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(toChild[0]);
        ::close(fromChild[1]);
        FPid = pid;
        FInput = toChild[1];
        // The first line is the port; it comes once the probe runs (and listens).
        std::string line;
        char c = 0;
        while (::read(fromChild[0], &c, 1) == 1 && c != '\n')
            line += c;
        ::close(fromChild[0]);
        FPort = static_cast<uint16_t>(std::atoi(line.c_str()));
        EXPECT_FALSE(line.empty()) << "the probe did not start";
    }
    ~TProbe() { End(); }
    void End() {
        if (FInput >= 0)
            ::close(std::exchange(FInput, -1));
        if (FPid > 0) {
            int status = 0;
            ::waitpid(std::exchange(FPid, -1), &status, 0);
        }
    }
    uint32_t Pid() const { return static_cast<uint32_t>(FPid); }
    uint16_t Port() const { return FPort; }

private:
    pid_t FPid = -1;
    int FInput = -1;
    uint16_t FPort = 0;
};

TEST(PortListeners, FindsAListenerInAChildProcess) {
    TPosixPortListeners listeners;
    TProbe probe("127.0.0.1");
    ASSERT_NE(probe.Port(), 0);
    EXPECT_EQ(Held(listeners, probe.Port()),
              (std::vector<TPortListener>{{probe.Pid(), "listen_probe", "127.0.0.1"}}));
    const uint16_t port = probe.Port();
    probe.End();
    EXPECT_TRUE(Held(listeners, port).empty());
}

TEST(PortListeners, ASocketSharedWithAChildIsListedForBoth) {
    TPosixPortListeners listeners;
    uint16_t port = 0;
    TSocket listener = Bind("0.0.0.0", true, port);
    ASSERT_GE(listener.Fd(), 0);
    TProbe probe("-", listener.Fd());
    std::vector<TPortListener> expected = {{OwnPid(), OwnExeName(), "0.0.0.0"},
                                           {probe.Pid(), "listen_probe", "0.0.0.0"}};
    if (probe.Pid() < OwnPid())
        std::swap(expected[0], expected[1]);
    EXPECT_EQ(Held(listeners, port), expected);

    // This process lets go; the child still holds the port.
    listener.Close();
    EXPECT_EQ(Held(listeners, port),
              (std::vector<TPortListener>{{probe.Pid(), "listen_probe", "0.0.0.0"}}));
}

} // namespace
