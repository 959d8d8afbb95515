// The simulated log service: listens on 127.0.0.1 (port 21850 unless told otherwise) and
// pushes framed notify messages, encoded by libprotobuf, to every client. In normal mode it
// follows the simulated "Corvane" service through the sandbox's status file; the other
// modes break the stream in the ways the reader must survive.
#include "notify.pb.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace feed = corvane::feed;
using Clock = std::chrono::steady_clock;

std::atomic<bool> GStop{false};

extern "C" void OnStopSignal(int) {
    GStop = true;
}

enum class TMode { Normal, Bytewise, Garbage, HugeLength, CloseMidFrame, Flap };

struct TOptions {
    uint16_t Port = 21850;
    std::string Sandbox;
    TMode Mode = TMode::Normal;
};

struct TApp {
    int Number;
    const char* Name;
    const char* Description;
};

const TApp Apps[] = {{1, "MAIN", "Main station"},        {2, "SCADA", "Process control"},
                     {3, "HISTORIAN", "Data archive"},   {5, "ALARMS", "Alarm handling"},
                     {7, "REPORTS", "Report generator"}, {12, "WEB", "Web access"}};

const char* const StateNames[] = {"COLD", "WARM", "HOT"};
const char* const SendPhases[] = {"NONE", "TO_WARM_SEND", "WARM_SEND", "TO_HOT_SEND", "HOT_SEND"};
const char* const ReceivePhases[] = {"NONE", "TO_WARM_RECEIVE", "WARM_RECEIVE", "TO_HOT_RECEIVE",
                                     "HOT_RECEIVE"};

std::string LocalIso(std::chrono::system_clock::time_point t) {
    using namespace std::chrono;
    std::time_t s = system_clock::to_time_t(t);
    int ms = static_cast<int>(duration_cast<milliseconds>(t.time_since_epoch()).count() % 1000);
    std::tm tm{};
    localtime_r(&s, &tm);
    long off = tm.tm_gmtoff / 60;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld",
                  tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  ms, off < 0 ? '-' : '+', std::labs(off) / 60, std::labs(off) % 60);
    return buf;
}

std::string LocalPlain(std::chrono::system_clock::time_point t) {
    std::time_t s = std::chrono::system_clock::to_time_t(t);
    std::tm tm{};
    localtime_r(&s, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

std::string Frame(const std::string& payload) {
    std::string f = "~~~~";
    uint32_t n = static_cast<uint32_t>(payload.size());
    for (int i = 0; i < 4; ++i)
        f += static_cast<char>((n >> (8 * i)) & 0xFF);
    return f + payload + ">>>>";
}

class TLogService {
public:
    explicit TLogService(TOptions o) : FOptions(std::move(o)), FRandom(std::random_device{}()) {}

    int Run() {
        if (!Listen())
            return 1;
        std::fprintf(stderr, "logservice: listening on 127.0.0.1:%u\n",
                     static_cast<unsigned>(FPort));
        auto nextTick = Clock::now();
        auto flapAt = Clock::now() + std::chrono::seconds(3);
        while (!GStop) {
            PollOnce(50);
            if (FOptions.Mode == TMode::Flap && Clock::now() >= flapAt) {
                if (FListen >= 0) {
                    StopListening();
                    flapAt = Clock::now() + std::chrono::seconds(2);
                } else {
                    Listen();
                    flapAt = Clock::now() + std::chrono::seconds(3);
                }
            }
            if (Clock::now() >= nextTick) {
                Tick();
                nextTick += std::chrono::milliseconds(250);
            }
        }
        StopListening();
        return 0;
    }

private:
    bool Listen() {
        FListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        ::setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(FOptions.Port);
        if (::bind(FListen, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(FListen, 8) != 0) {
            std::fprintf(stderr, "logservice: cannot listen on port %u: %s\n",
                         static_cast<unsigned>(FOptions.Port), std::strerror(errno));
            ::close(FListen);
            FListen = -1;
            return false;
        }
        socklen_t len = sizeof a;
        ::getsockname(FListen, reinterpret_cast<sockaddr*>(&a), &len);
        FPort = ntohs(a.sin_port);
        return true;
    }

    void StopListening() {
        for (int fd : FClients)
            ::close(fd);
        FClients.clear();
        if (FListen >= 0)
            ::close(FListen);
        FListen = -1;
    }

    void PollOnce(int timeoutMs) {
        std::vector<pollfd> fds;
        if (FListen >= 0)
            fds.push_back({FListen, POLLIN, 0});
        for (int fd : FClients)
            fds.push_back({fd, POLLIN, 0});
        if (fds.empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
            return;
        }
        if (::poll(fds.data(), fds.size(), timeoutMs) <= 0)
            return;
        for (const auto& p : fds) {
            if (!(p.revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            if (p.fd == FListen) {
                Accept();
            } else {
                char buf[256];
                if (::recv(p.fd, buf, sizeof buf, MSG_DONTWAIT) <= 0)
                    Drop(p.fd);
            }
        }
    }

    void Accept() {
        int fd = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        timeval tv{1, 0}; // a client that stops reading is dropped, not waited for
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        FClients.push_back(fd);
        Welcome(fd);
    }

    void Drop(int fd) {
        ::close(fd);
        std::erase(FClients, fd);
    }

    bool SendRaw(int fd, const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t r = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (r <= 0)
                return false;
            done += static_cast<size_t>(r);
        }
        return true;
    }

    void SendFrame(int fd, const feed::NotifyMessage& m) {
        std::string f = Frame(m.SerializeAsString());
        bool ok = true;
        switch (FOptions.Mode) {
        case TMode::Bytewise:
            for (size_t i = 0; i < f.size() && ok && !GStop; ++i) {
                ok = SendRaw(fd, f.substr(i, 1));
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            break;
        case TMode::CloseMidFrame:
            SendRaw(fd, f.substr(0, f.size() / 2));
            ok = false;
            break;
        default:
            ok = SendRaw(fd, f);
        }
        if (!ok)
            Drop(fd);
    }

    void Broadcast(const feed::NotifyMessage& m) {
        if (m.log_rows_size() == 0 && m.status_updates_size() == 0)
            return;
        for (int fd : std::vector<int>(FClients))
            SendFrame(fd, m);
    }

    static void AddStatus(feed::NotifyMessage& m, const std::string& key,
                          const std::string& value) {
        auto* u = m.add_status_updates();
        u->set_key(key);
        u->mutable_status_update()->set_value(value);
    }

    void AddRow(feed::NotifyMessage& m, int severity, const std::string& source,
                std::vector<std::string> lines, int app) {
        auto* r = m.add_log_rows();
        r->set_sequence_number(++FSequence);
        r->set_sender_ip("127.0.0.1");
        auto* l = r->mutable_log_row();
        l->set_timestamp(LocalIso(std::chrono::system_clock::now()));
        for (auto& s : lines)
            l->add_messages(s);
        l->set_severity(severity);
        l->set_source(source);
        l->set_category(app ? "APL" : "SYS");
        if (app)
            l->set_sys_application_number(app);
    }

    void AddSysInfo(feed::NotifyMessage& m) {
        AddStatus(m, "SYS.INFO.PACKAGE", "Corvane Pro 9.4");
        AddStatus(m, "SYS.INFO.BASESYSTEM", "Corvane Base 9.4.2");
        AddStatus(m, "SYS.INFO.SYSTEMID", "CV-0042-SIM");
        AddStatus(m, "SYS.INFO.CUSTOMER", "Simulated Customer");
        AddStatus(m, "SYS.INFO.SITE", "Test Plant");
        AddStatus(m, "SYS.INFO.KEY", "SIM-KEY-0001");
        AddStatus(m, "SYS.INFO.STARTUP", FRunning ? LocalPlain(FBootWall) : "");
    }

    void AddAppState(feed::NotifyMessage& m, size_t i, bool withName) {
        const TApp& a = Apps[i];
        std::string prefix = "SYS.APL." + std::to_string(a.Number) + "." + a.Name + ".";
        if (withName)
            AddStatus(m, prefix + "AN", a.Description);
        AddStatus(m, prefix + "AS", StateNames[FStates[i]]);
        AddStatus(m, prefix + "SP", FPhases[i]);
    }

    void Welcome(int fd) {
        if (FOptions.Mode == TMode::HugeLength) {
            SendRaw(fd, std::string("~~~~\xff\xff\xff\x7f", 8) + "not that many bytes");
            return;
        }
        feed::NotifyMessage m;
        AddSysInfo(m);
        for (size_t i = 0; i < std::size(Apps); ++i)
            AddAppState(m, i, true);
        AddRow(m, 4, "LogService", {"Client connected"}, 0);
        SendFrame(fd, m);
    }

    bool ServiceRunning() {
        std::string dir = FOptions.Sandbox;
        if (dir.empty())
            if (const char* env = std::getenv("VORNIX_SANDBOX"))
                dir = env;
        if (dir.empty())
            return true; // standalone: a system that is always up
        std::ifstream f(dir + "/services/Corvane/status");
        int state = 0;
        if (!(f >> state))
            return false;
        return state == 4;
    }

    void Tick() {
        feed::NotifyMessage m;
        bool running = ServiceRunning();
        if (running != FRunning) {
            FRunning = running;
            FBootSteady = Clock::now();
            FBootWall = std::chrono::system_clock::now();
            AddSysInfo(m);
            AddRow(m, running ? 6 : 3, "Kernel", {running ? "System started" : "System stopped"},
                   0);
        }
        double up = std::chrono::duration<double>(Clock::now() - FBootSteady).count();
        for (size_t i = 0; i < std::size(Apps); ++i) {
            int state = 0;
            const char* phase = "NONE";
            if (FRunning) {
                double warmAt = 0.5 + 0.4 * static_cast<double>(i);
                state = up >= warmAt + 1.5 ? 2 : up >= warmAt ? 1 : 0;
                // The first two applications shadow each other once hot.
                if (state == 2 && i < 2) {
                    int step = static_cast<int>(up / 3.0) % 5;
                    phase = i == 0 ? SendPhases[step] : ReceivePhases[step];
                }
            }
            if (state != FStates[i] || std::strcmp(phase, FPhases[i]) != 0) {
                if (state != FStates[i])
                    AddRow(m, state == 2 ? 4 : 5, Apps[i].Name,
                           {std::string(Apps[i].Name) + " is " + StateNames[state]},
                           Apps[i].Number);
                FStates[i] = state;
                FPhases[i] = phase;
                AddAppState(m, i, false);
            }
        }
        if (FRunning && ++FTicks % 4 == 0) {
            std::uniform_int_distribution<int> pick(0, 99);
            int r = pick(FRandom);
            static const int severities[] = {2, 3, 4, 5, 6, 100};
            int severity = r < 5 ? 1 : severities[r % 6];
            std::vector<std::string> lines{"Simulated event " + std::to_string(FSequence + 1)};
            if (r % 3 == 0)
                lines.push_back("second line of detail");
            const TApp& a = Apps[static_cast<size_t>(r) % std::size(Apps)];
            AddRow(m, severity, a.Name, lines, r % 2 ? a.Number : 0);
        }
        Broadcast(m);
        if (FOptions.Mode == TMode::Garbage && FTicks % 8 == 0)
            for (int fd : std::vector<int>(FClients))
                if (!SendRaw(fd, "GARBAGE!"))
                    Drop(fd);
        if (FOptions.Mode == TMode::CloseMidFrame) {
            feed::NotifyMessage ping;
            AddRow(ping, 5, "LogService", {"cut short"}, 0);
            Broadcast(ping);
        }
    }

    TOptions FOptions;
    uint16_t FPort = 0;
    int FListen = -1;
    std::vector<int> FClients;
    std::mt19937 FRandom;
    int64_t FSequence = 0;
    int64_t FTicks = 0;
    bool FRunning = false;
    Clock::time_point FBootSteady = Clock::now();
    std::chrono::system_clock::time_point FBootWall = std::chrono::system_clock::now();
    int FStates[std::size(Apps)] = {};
    const char* FPhases[std::size(Apps)] = {"NONE", "NONE", "NONE", "NONE", "NONE", "NONE"};
};

int Usage() {
    std::fprintf(stderr, "usage: corvane-sim logservice [--port N] [--sandbox DIR] "
                         "[--mode normal|bytewise|garbage|hugelength|closemidframe|flap]\n");
    return 2;
}

} // namespace

int RunLogService(int argc, char** argv) {
    TOptions o;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "logservice" && i == 0)
            continue;
        if (i + 1 >= argc)
            return Usage();
        std::string v = argv[++i];
        if (a == "--port") {
            char* end = nullptr;
            long p = std::strtol(v.c_str(), &end, 10);
            if (*end || p < 0 || p > 65535)
                return Usage();
            o.Port = static_cast<uint16_t>(p);
        } else if (a == "--sandbox") {
            o.Sandbox = v;
        } else if (a == "--mode") {
            if (v == "normal")
                o.Mode = TMode::Normal;
            else if (v == "bytewise")
                o.Mode = TMode::Bytewise;
            else if (v == "garbage")
                o.Mode = TMode::Garbage;
            else if (v == "hugelength")
                o.Mode = TMode::HugeLength;
            else if (v == "closemidframe")
                o.Mode = TMode::CloseMidFrame;
            else if (v == "flap")
                o.Mode = TMode::Flap;
            else
                return Usage();
        } else {
            return Usage();
        }
    }
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    GStop = false;
    return TLogService(o).Run();
}
