#include "SimWebServer.h"

#include "SimHttp.h"

#include "config/CvRegistry.h"
#include "core/Text.h"
#include "platform/FileSystem.h"
#include "platform/posix/PosixSystemInfo.h"
#include "platform/sandbox/SandboxCertificateStore.h"
#include "platform/sandbox/SandboxRegistry.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr const char* WebProduct = "Corvane Pro\\WebUI";
constexpr size_t MaxRequestHead = 8192;
constexpr int ClientTimeoutSeconds = 5;

std::string SerialText(const std::vector<uint8_t>& stored) {
    static const char* hex = "0123456789ABCDEF";
    std::string s;
    for (auto it = stored.rbegin(); it != stored.rend(); ++it) {
        s.push_back(hex[*it >> 4]);
        s.push_back(hex[*it & 15]);
    }
    return s;
}

std::string Response(int code, const char* reason, const std::string& extraHeaders,
                     const std::string& body, bool headOnly) {
    std::string r = "HTTP/1.1 " + std::to_string(code) + " " + reason + "\r\n" +
                    "Content-Type: text/html; charset=utf-8\r\n" +
                    "Content-Length: " + std::to_string(body.size()) + "\r\n" + extraHeaders +
                    "Connection: close\r\n\r\n";
    if (!headOnly)
        r += body;
    return r;
}

std::string Page(const std::string& title, const std::string& text) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + HtmlEscape(title) +
           "</title></head>\n<body><h1>" + HtmlEscape(title) + "</h1>\n<p>" + HtmlEscape(text) +
           "</p></body></html>\n";
}

// A listening IPv4 socket; -1 with errno when the port cannot be had.
int Listen(bool loopbackOnly, int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(loopbackOnly ? INADDR_LOOPBACK : INADDR_ANY);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0) {
        int e = errno;
        ::close(fd);
        errno = e;
        return -1;
    }
    return fd;
}

} // namespace

TWebSettings ReadWebSettings(cv::IRegistry& registry, const std::string& computerName) {
    TWebSettings s;
    auto value = [&](const char* name) { return cv::ReadProductValue(registry, WebProduct, name); };
    const std::string port = value("Port");
    int32_t number = 0;
    if (!port.empty()) {
        if (cv::TryStrToInt(cv::Trim(port), number) && number >= 1 && number <= 65535)
            s.Port = number;
        else
            s.PortProblem = port;
    }
    s.Encrypted = value("Encrypted") != "False";
    s.CertificateSerial = value("CertificateSerial");
    s.ForwardHTTP = value("ForwardHTTP") != "False";
    s.LocalOnly = value("LocalhostUseOnly") == "True";
    std::vector<std::string> parts = cv::SplitAny(value("WebOriginsURL"), ":");
    s.HostName = parts.size() < 2 ? computerName : cv::ReplaceAll(parts[1], "/", "");
    return s;
}

struct TWebServer::TListener {
    int Fd = -1;
    SSL_CTX* Tls = nullptr;     // HTTPS when set
    bool Redirect = false;      // answers every request with a redirect to HTTPS
    int HttpsPort = 443;        // where a redirect points
    std::string FallbackHost;   // a redirect's host when the request names none
    std::string PageText;
    std::thread Thread;

    ~TListener() {
        if (Fd >= 0)
            ::close(Fd);
        SSL_CTX_free(Tls);
    }

    void Serve(const std::atomic<bool>& stopping, int wake) {
        while (!stopping) {
            pollfd fds[2] = {{Fd, POLLIN, 0}, {wake, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            if (fds[1].revents)
                return;
            if (fds[0].revents & POLLIN) {
                int client = ::accept4(Fd, nullptr, nullptr, SOCK_CLOEXEC);
                if (client >= 0) {
                    Handle(client);
                    ::close(client);
                }
            }
        }
    }

    // One request per connection, each bounded in size and time.
    void Handle(int client) {
        timeval tv{ClientTimeoutSeconds, 0};
        ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        ::setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        SSL* ssl = nullptr;
        if (Tls) {
            ssl = SSL_new(Tls);
            if (!ssl || !SSL_set_fd(ssl, client) || SSL_accept(ssl) <= 0) {
                SSL_free(ssl);
                ERR_clear_error();
                return;
            }
        }
        auto receive = [&](char* buf, size_t n) -> long {
            if (ssl) {
                int r = SSL_read(ssl, buf, static_cast<int>(n));
                return r > 0 ? r : -1;
            }
            ssize_t r = ::recv(client, buf, n, 0);
            return r > 0 ? r : -1;
        };
        auto sendAll = [&](const std::string& data) {
            size_t done = 0;
            while (done < data.size()) {
                long n = ssl ? SSL_write(ssl, data.data() + done, static_cast<int>(data.size() - done))
                             : ::send(client, data.data() + done, data.size() - done, MSG_NOSIGNAL);
                if (n <= 0)
                    return;
                done += static_cast<size_t>(n);
            }
        };
        std::string head;
        size_t end = std::string::npos;
        char buf[2048];
        while ((end = head.find("\r\n\r\n")) == std::string::npos && head.size() < MaxRequestHead) {
            long n = receive(buf, std::min(sizeof buf, MaxRequestHead - head.size()));
            if (n <= 0)
                break;
            head.append(buf, static_cast<size_t>(n));
        }
        TRequestHead request;
        if (end == std::string::npos || !ParseRequestHead(std::string_view(head).substr(0, end), request)) {
            sendAll(Response(400, "Bad Request", "", Page("Bad Request", "The request was not understood."), false));
        } else {
            sendAll(Answer(request));
        }
        if (ssl) {
            SSL_shutdown(ssl);
            SSL_free(ssl);
            ERR_clear_error();
        }
    }

    std::string Answer(const TRequestHead& request) const {
        const bool headOnly = request.Method == "HEAD";
        if (Redirect) {
            std::string host = RedirectHost(request.Host);
            if (host.empty())
                host = FallbackHost;
            std::string location = "https://" + host +
                                   (HttpsPort == 443 ? "" : ":" + std::to_string(HttpsPort)) +
                                   RedirectPath(request.Target);
            return Response(301, "Moved Permanently", "Location: " + location + "\r\n",
                            Page("Moved", "This page is served over HTTPS."), headOnly);
        }
        if (request.Method != "GET" && request.Method != "HEAD")
            return Response(405, "Method Not Allowed", "Allow: GET, HEAD\r\n",
                            Page("Method Not Allowed", "Only pages are served here."), false);
        if (request.Target != "/" && request.Target != "/index.html")
            return Response(404, "Not Found", "", Page("Not Found", "There is no such page."), headOnly);
        return Response(200, "OK", "", Page("Corvane", PageText), headOnly);
    }
};

TWebServer::TWebServer(std::string sandbox) : FSandbox(std::move(sandbox)) {}

TWebServer::~TWebServer() { Stop(); }

void TWebServer::Log(const std::string& line) {
    std::printf("web server: %s\n", line.c_str());
    std::fflush(stdout);
}

void TWebServer::Start() {
    if (cv::FileExists(FSandbox + "/sim/web-off")) {
        Log("off");
        return;
    }
    std::signal(SIGPIPE, SIG_IGN); // a client that goes away must not end the service
    if (::pipe2(FWake, O_CLOEXEC) != 0) {
        Log(std::string("cannot start: ") + std::strerror(errno));
        return;
    }
    cv::TSandboxRegistry registry(FSandbox);
    cv::TPosixSystemInfo system(FSandbox);
    const std::string computer = system.ComputerName();
    const TWebSettings s = ReadWebSettings(registry, computer);
    if (!s.PortProblem.empty())
        Log("\"" + s.PortProblem + "\" is no port; using 443");
    const std::string address = s.LocalOnly ? "127.0.0.1" : "0.0.0.0";
    std::vector<std::string> state;

    auto open = [&](int port, const char* what) -> std::unique_ptr<TListener> {
        int fd = Listen(s.LocalOnly, port);
        if (fd < 0) {
            Log(std::string("cannot listen for ") + what + " on " + address + ":" +
                std::to_string(port) + ": " + std::strerror(errno));
            state.push_back(std::string(what) + " unavailable " + address + ":" + std::to_string(port));
            return nullptr;
        }
        auto l = std::make_unique<TListener>();
        l->Fd = fd;
        Log(std::string(what) + " on " + address + ":" + std::to_string(port));
        return l;
    };

    const std::string pageText = "The system is running on " + computer + ".";
    if (s.Encrypted) {
        std::string problem;
        SSL_CTX* ctx = nullptr;
        if (s.CertificateSerial.empty()) {
            problem = "no certificate is selected";
        } else {
            cv::TSandboxCertificateStore store(FSandbox);
            std::vector<uint8_t> der;
            std::string keyPem;
            bool found = false;
            if (auto my = store.OpenSystemStore("My"))
                my->Enumerate([&](cv::ICertificate& c) {
                    if (SerialText(c.SerialNumber()) != s.CertificateSerial)
                        return true;
                    found = true;
                    der = c.Encoded();
                    keyPem = store.PrivateKeyPem(c);
                    return false;
                });
            const unsigned char* p = der.data();
            X509* x = der.empty() ? nullptr : d2i_X509(nullptr, &p, static_cast<long>(der.size()));
            BIO* bio = keyPem.empty() ? nullptr : BIO_new_mem_buf(keyPem.data(), static_cast<int>(keyPem.size()));
            EVP_PKEY* key = bio ? PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr) : nullptr;
            if (!found)
                problem = "certificate " + s.CertificateSerial + " is not in the store";
            else if (!x)
                problem = "certificate " + s.CertificateSerial + " cannot be read";
            else if (!key)
                problem = "the private key of certificate " + s.CertificateSerial +
                          " cannot be read (error " + std::to_string(store.LastError()) + ")";
            else {
                ctx = SSL_CTX_new(TLS_server_method());
                if (!ctx || !SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION) ||
                    SSL_CTX_use_certificate(ctx, x) != 1 || SSL_CTX_use_PrivateKey(ctx, key) != 1 ||
                    SSL_CTX_check_private_key(ctx) != 1) {
                    problem = "the private key does not belong to certificate " + s.CertificateSerial;
                    SSL_CTX_free(ctx);
                    ctx = nullptr;
                }
            }
            X509_free(x);
            EVP_PKEY_free(key);
            BIO_free(bio);
            ERR_clear_error();
        }
        if (!ctx) {
            Log("no HTTPS: " + problem);
            state.push_back("https unavailable " + problem);
        } else if (auto l = open(s.Port, "https")) {
            l->Tls = ctx;
            l->PageText = pageText + " Served over HTTPS.";
            state.push_back("https " + address + ":" + std::to_string(s.Port) + " certificate " +
                            s.CertificateSerial);
            FListeners.push_back(std::move(l));
        } else {
            SSL_CTX_free(ctx);
        }
        // Without HTTPS there is nothing to send plain requests on to.
        if (s.ForwardHTTP && !FListeners.empty()) {
            int redirectPort = 80;
            if (auto text = cv::ReadFileBytes(FSandbox + "/sim/web-redirect-port")) {
                int32_t n = 0;
                if (cv::TryStrToInt(cv::Trim(*text), n) && n >= 1 && n <= 65535)
                    redirectPort = n;
            }
            std::unique_ptr<TListener> l;
            if (redirectPort != s.Port && (l = open(redirectPort, "redirect"))) {
                l->Redirect = true;
                l->HttpsPort = s.Port;
                l->FallbackHost = s.HostName;
                state.push_back("redirect " + address + ":" + std::to_string(redirectPort));
                FListeners.push_back(std::move(l));
            }
        }
    } else if (auto l = open(s.Port, "http")) {
        l->PageText = pageText;
        state.push_back("http " + address + ":" + std::to_string(s.Port));
        FListeners.push_back(std::move(l));
    }

    for (auto& l : FListeners) {
        TListener* listener = l.get();
        listener->Thread = std::thread([this, listener] { listener->Serve(FStopping, FWake[0]); });
    }
    try {
        cv::WriteFileAtomic(FSandbox + "/sim/webserver", cv::Join(state, "\n") + "\n");
    } catch (const std::exception& e) {
        Log(std::string("cannot write its state: ") + e.what());
    }
}

void TWebServer::Stop() {
    if (FWake[1] < 0)
        return;
    FStopping = true;
    char c = 1;
    while (::write(FWake[1], &c, 1) < 0 && errno == EINTR) {
    }
    for (auto& l : FListeners)
        if (l->Thread.joinable())
            l->Thread.join();
    FListeners.clear();
    ::close(FWake[0]);
    ::close(FWake[1]);
    FWake[0] = FWake[1] = -1;
    cv::DeleteFileAt(FSandbox + "/sim/webserver");
    Log("stopped");
}

} // namespace sim
