#include "platform/Platform.h"
#include "platform/win32/ScopedHandle.h"
#include "platform/win32/Win32PortListeners.h"
#include "platform/win32/Win32Text.h"
#include "web/PortHolder.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>
#include <vector>

#include "Win32TestSupport.h"

namespace cv {
void PrintTo(const TPortListener& l, std::ostream* os) {
    *os << "{" << l.ProcessID << ", \"" << l.ExeName << "\", \"" << l.Address << "\"}";
}
} // namespace cv

using namespace cv;

namespace {

class TWinsock : public ::testing::Environment {
public:
    void SetUp() override {
        WSADATA data;
        ASSERT_EQ(::WSAStartup(MAKEWORD(2, 2), &data), 0);
    }
    void TearDown() override { ::WSACleanup(); }
};
const auto* const Winsock = ::testing::AddGlobalTestEnvironment(new TWinsock);

class TSocket {
public:
    explicit TSocket(SOCKET s = INVALID_SOCKET) : FSocket(s) {}
    TSocket(TSocket&& o) noexcept : FSocket(std::exchange(o.FSocket, INVALID_SOCKET)) {}
    ~TSocket() { Close(); }
    void Close() {
        if (FSocket != INVALID_SOCKET)
            ::closesocket(std::exchange(FSocket, INVALID_SOCKET));
    }
    SOCKET Get() const { return FSocket; }

private:
    SOCKET FSocket;
};

// A listener on a free port of `address`; an empty socket when the family is not there.
TSocket Listen(const std::string& address, uint16_t& port) {
    sockaddr_storage storage{};
    int length = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
    if (::inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        length = sizeof *v4;
    } else {
        EXPECT_EQ(::inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr), 1) << address;
        v6->sin6_family = AF_INET6;
        length = sizeof *v6;
    }
    TSocket s(::socket(storage.ss_family, SOCK_STREAM, IPPROTO_TCP));
    if (s.Get() == INVALID_SOCKET ||
        ::bind(s.Get(), reinterpret_cast<sockaddr*>(&storage), length) != 0 ||
        ::listen(s.Get(), 4) != 0)
        return TSocket();
    length = sizeof storage;
    EXPECT_EQ(::getsockname(s.Get(), reinterpret_cast<sockaddr*>(&storage), &length), 0);
    port = ::ntohs(storage.ss_family == AF_INET ? v4->sin_port : v6->sin6_port);
    return s;
}

std::string OwnExeName() {
    const std::string path = win32::Narrow(cvtest::OwnModulePath());
    return path.substr(path.find_last_of("\\/") + 1);
}

// Wine (8.0 here) lists the listeners with their addresses and ports but gives 0 as every
// socket's owning process id; the port's holder is then an unknown one.
bool UnderWine() {
    return win32::LookupProc<void (*)()>(L"ntdll.dll", "wine_get_version") != nullptr;
}

// What the table should say of a socket held by `pid`.
TPortListener Expected(uint32_t pid, const std::string& name, const std::string& address) {
    if (UnderWine())
        return {0, {}, address};
    return {pid, name, address};
}

std::vector<TPortListener> Held(IPortListeners& listeners, uint16_t port) {
    std::vector<TPortListener> found;
    EXPECT_TRUE(listeners.Find(port, found));
    return found;
}

TEST(Win32PortListeners, FindsThisProcessListeningOnEachKindOfAddress) {
    auto listeners = CreatePlatform().Listeners;
    ASSERT_TRUE(listeners);
    const uint32_t pid = ::GetCurrentProcessId();
    if (UnderWine())
        std::printf("Wine gives no owning process ids: the listeners are checked without them\n");
    const std::string holder =
        UnderWine() ? "another program" : OwnExeName() + " (PID " + std::to_string(pid) + ")";
    for (const char* address : {"0.0.0.0", "127.0.0.1", "::", "::1"}) {
        SCOPED_TRACE(address);
        uint16_t port = 0;
        TSocket listener = Listen(address, port);
        if (listener.Get() == INVALID_SOCKET) {
            ASSERT_NE(std::string(address).find(':'), std::string::npos) << "IPv4 is always there";
            std::printf("no IPv6 here; %s not checked\n", address);
            continue;
        }
        EXPECT_EQ(Held(*listeners, port),
                  (std::vector<TPortListener>{Expected(pid, OwnExeName(), address)}));
        EXPECT_EQ(PortInUseWarning(*listeners, port),
                  "Port " + std::to_string(port) + " is in use by " + holder);
        if (!UnderWine()) {
            EXPECT_EQ(PortInUseWarning(*listeners, port, OwnServerProcesses({pid})), "");
        }
        listener.Close();
        EXPECT_TRUE(Held(*listeners, port).empty());
    }
}

// The probe program listening in a child process, with pipes on its standard input and output.
TEST(Win32PortListeners, FindsAListenerInAChildProcess) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE childIn = nullptr, toChild = nullptr, fromChild = nullptr, childOut = nullptr;
    ASSERT_TRUE(::CreatePipe(&childIn, &toChild, &inherit, 0));
    ASSERT_TRUE(::CreatePipe(&fromChild, &childOut, &inherit, 0));
    win32::THandle childInH(childIn), toChildH(toChild), fromChildH(fromChild), childOutH(childOut);
    ::SetHandleInformation(toChild, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(fromChild, HANDLE_FLAG_INHERIT, 0);

    const std::wstring own = cvtest::OwnModulePath();
    const std::wstring folder = own.substr(0, own.find_last_of(L"\\/") + 1);
    std::wstring command = L"\"" + folder + L"..\\platform\\listen_probe.exe\" 127.0.0.1";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = childIn;
    si.hStdOutput = childOut;
    si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 nullptr, &si, &pi));
    win32::THandle process(pi.hProcess), thread(pi.hThread);
    childInH.Reset();
    childOutH.Reset();

    std::string line;
    char c = 0;
    DWORD n = 0;
    while (::ReadFile(fromChild, &c, 1, &n, nullptr) && n == 1 && c != '\n')
        line += c;
    const uint16_t port = static_cast<uint16_t>(std::atoi(line.c_str()));
    ASSERT_NE(port, 0) << "the probe did not start: '" << line << "'";

    TWin32PortListeners listeners;
    EXPECT_EQ(
        Held(listeners, port),
        (std::vector<TPortListener>{Expected(pi.dwProcessId, "listen_probe.exe", "127.0.0.1")}));

    toChildH.Reset(); // its input ends: it exits
    ASSERT_EQ(::WaitForSingleObject(process.Get(), 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(Held(listeners, port).empty());
}

} // namespace
