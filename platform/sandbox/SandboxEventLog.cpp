#include "SandboxEventLog.h"

#include "core/Assert.h"
#include "core/Text.h"
#include "platform/FileSystem.h"

#include <pugixml.hpp>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <utility>
#include <unistd.h>

namespace cv {

namespace {

// The published event schema's namespace, as the platform renders every event.
constexpr const char* EventNamespace = "http://schemas.microsoft.com/win/2004/08/events/event";
constexpr size_t SequenceBytes = 21; // 20 digits and a line feed

// A file descriptor closed with its owner.
class TFd {
public:
    explicit TFd(int fd = -1) : FFd(fd) {}
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    ~TFd() {
        if (FFd >= 0)
            ::close(FFd);
    }
    int Get() const { return FFd; }
    int Release() { return std::exchange(FFd, -1); }

private:
    int FFd;
};

bool SafeName(const std::string& name) {
    return !name.empty() && name[0] != '.' && name.find_first_of("/\\", 0) == std::string::npos &&
           name.find('\0') == std::string::npos;
}

std::string ChannelFolder(const std::string& sandbox, const std::string& channel) {
    return NativePath(sandbox + "/eventlog/" + channel);
}

std::string PublisherFolder(const std::string& sandbox) {
    return NativePath(sandbox + "/eventlog/Publishers");
}

std::string EventFileName(uint64_t n) {
    char name[32];
    std::snprintf(name, sizeof name, "%020llu.xml", static_cast<unsigned long long>(n));
    return name;
}

// The event file's number, 0 when the name is not one of an event.
uint64_t EventFileNumber(const char* name) {
    if (std::strlen(name) != 24 || std::strcmp(name + 20, ".xml") != 0)
        return 0;
    uint64_t n = 0;
    for (int i = 0; i < 20; ++i) {
        if (name[i] < '0' || name[i] > '9')
            return 0;
        n = n * 10 + static_cast<uint64_t>(name[i] - '0');
    }
    return n;
}

uint64_t HighestEventFileNumber(const std::string& folder) {
    uint64_t highest = 0;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d))
            highest = std::max(highest, EventFileNumber(e->d_name));
        ::closedir(d);
    }
    return highest;
}

bool ReadSequence(int fd, uint64_t& n) {
    char buf[SequenceBytes + 1] = {};
    const ssize_t got = ::pread(fd, buf, SequenceBytes, 0);
    if (got <= 0)
        return false;
    int64_t v = 0;
    if (!TryStrToInt64(Trim(std::string_view(buf, static_cast<size_t>(got))), v) || v < 0)
        return false;
    n = static_cast<uint64_t>(v);
    return true;
}

void WriteAll(int fd, const std::string& bytes, const std::string& what) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw Exception("Cannot write " + what + ": " + std::strerror(errno));
        done += static_cast<size_t>(n);
    }
}

// The file's bytes, or nothing when it is missing or larger than the limit.
std::optional<std::string> ReadLimited(const std::string& path, bool& tooLarge) {
    tooLarge = false;
    TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    if (static_cast<uint64_t>(st.st_size) > TSandboxEventLog::MaxFileBytes) {
        tooLarge = true;
        return std::nullopt;
    }
    std::string bytes;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        bytes.append(buf, static_cast<size_t>(n));
        if (bytes.size() > TSandboxEventLog::MaxFileBytes) {
            tooLarge = true;
            return std::nullopt;
        }
    }
    return bytes;
}

std::string XmlEscape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\r': out += "&#13;"; break; // kept through the parser's line-end normalising
        default: out += c;
        }
    }
    return out;
}

std::string UtcNowIso() {
    const auto now = std::chrono::system_clock::now();
    const auto secs = std::chrono::time_point_cast<std::chrono::seconds>(now);
    const auto frac =
        std::chrono::duration_cast<std::chrono::nanoseconds>(now - secs).count() / 100;
    const std::time_t t = std::chrono::system_clock::to_time_t(secs);
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%07lldZ", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  static_cast<long long>(frac));
    return buf;
}

std::string ComputerName() {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0)
        return "localhost";
    return host;
}

std::string LocalName(const pugi::xml_node& n) {
    const char* name = n.name();
    const char* colon = std::strchr(name, ':');
    return colon ? colon + 1 : name;
}

pugi::xml_node ChildByLocalName(const pugi::xml_node& parent, const char* name) {
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && LocalName(c) == name)
            return c;
    return {};
}

std::string TextOf(const pugi::xml_node& n) {
    std::string s;
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
            s += c.value();
    return s;
}

// One delivered event: its rendered text, read when the watcher reached it.
class TSandboxEventRecord : public IEventRecord {
public:
    TSandboxEventRecord(std::string xml, bool tooLarge) : FXml(std::move(xml)), FTooLarge(tooLarge) {
        FWide = Utf8ToUtf16(FXml);
    }
    uint32_t RenderXml(char16_t* buffer, uint32_t bufferBytes, uint32_t& bufferUsed) override {
        bufferUsed = 0;
        if (FTooLarge)
            return ERROR_INVALID_DATA_CODE;
        const uint64_t needed = (FWide.size() + 1) * sizeof(char16_t);
        bufferUsed = static_cast<uint32_t>(needed);
        if (!buffer || bufferBytes < needed)
            return ERROR_INSUFFICIENT_BUFFER_CODE;
        std::memcpy(buffer, FWide.data(), FWide.size() * sizeof(char16_t));
        buffer[FWide.size()] = u'\0';
        return 0;
    }
    const std::string& Xml() const { return FXml; }

private:
    std::string FXml;
    std::u16string FWide;
    bool FTooLarge;
};

class TSandboxPublisher : public IPublisherMetadata {
public:
    explicit TSandboxPublisher(std::vector<TSandboxMessage> messages) : Messages(std::move(messages)) {}
    std::vector<TSandboxMessage> Messages;
};

class TSandboxSubscription : public IEventSubscription {
public:
    TSandboxSubscription(std::string folder, int inotifyFd, int stopFd, uint64_t after,
                         IEventLog::TCallback callback)
        : FFolder(std::move(folder)), FInotify(inotifyFd), FStop(stopFd), FLast(after),
          FCallback(std::move(callback)) {
        FThread = std::thread([this] { Run(); });
    }
    ~TSandboxSubscription() override {
        FStopping.store(true);
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(FStop.Get(), &one, sizeof one);
        FThread.join(); // a delivery in progress ends first; none starts after this
    }

private:
    void Run() {
        CatchUp(); // what was written between the subscription and the thread's start
        while (!FStopping.load()) {
            pollfd fds[2] = {{FInotify.Get(), POLLIN, 0}, {FStop.Get(), POLLIN, 0}};
            // The time-out is a safety net: a folder replaced under the watch is still followed.
            const int rc = ::poll(fds, 2, 500);
            if (FStopping.load())
                break;
            if (rc > 0 && (fds[0].revents & POLLIN)) {
                char buf[16384];
                while (::read(FInotify.Get(), buf, sizeof buf) > 0) {
                }
            }
            CatchUp();
        }
    }

    void CatchUp() {
        uint64_t last = 0;
        {
            TFd seq(::open((FFolder + "/.sequence").c_str(), O_RDONLY | O_CLOEXEC));
            if (seq.Get() < 0)
                return;
            ::flock(seq.Get(), LOCK_SH);
            const bool ok = ReadSequence(seq.Get(), last);
            ::flock(seq.Get(), LOCK_UN);
            if (!ok)
                return;
        }
        if (last < FLast) {
            FLast = last; // the channel was cleared: its new events come from there
            return;
        }
        // Beyond the kept window the older files are gone anyway.
        if (last - FLast > TSandboxEventLog::KeptEvents)
            FLast = last - TSandboxEventLog::KeptEvents;
        while (FLast < last && !FStopping.load()) {
            ++FLast;
            bool tooLarge = false;
            auto xml = ReadLimited(FFolder + "/" + EventFileName(FLast), tooLarge);
            if (!xml && !tooLarge)
                continue; // removed by the channel's retention meanwhile
            TSandboxEventRecord record(xml ? std::move(*xml) : std::string(), tooLarge);
            try {
                FCallback(esa_Deliver, &record, 0);
            } catch (...) {
                // A subscriber's failure drops its event, never the watcher.
            }
        }
    }

    std::string FFolder;
    TFd FInotify;
    TFd FStop;
    uint64_t FLast;
    IEventLog::TCallback FCallback;
    std::atomic<bool> FStopping{false};
    std::thread FThread;
};

} // namespace

TSandboxEventLog::TSandboxEventLog(std::string sandbox) : FSandbox(std::move(sandbox)) {}

std::unique_ptr<IEventSubscription> TSandboxEventLog::Subscribe(const std::string& channel,
                                                                const std::string& query,
                                                                uint32_t flags, TCallback callback) {
    // The query language is not emulated: "*" (every event) is the only query there is.
    if (!SafeName(channel) || query != "*" || !callback)
        return {};
    const bool future = flags == EVT_SUBSCRIBE_TO_FUTURE_EVENTS;
    const bool oldest = flags == 2; // EvtSubscribeStartAtOldestRecord
    if (!future && !oldest)
        return {};
    const std::string folder = ChannelFolder(FSandbox, channel);
    if (!DirectoryExists(folder) && !ForceDirectories(folder))
        return {};
    TFd inotifyFd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (inotifyFd.Get() < 0 ||
        ::inotify_add_watch(inotifyFd.Get(), folder.c_str(),
                            IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE) < 0)
        return {};
    TFd stopFd(::eventfd(0, EFD_CLOEXEC));
    if (stopFd.Get() < 0)
        return {};
    // Watching first, then the baseline: nothing written in between is missed.
    const uint64_t after = future ? LastRecordId(FSandbox, channel) : 0;
    return std::make_unique<TSandboxSubscription>(folder, inotifyFd.Release(), stopFd.Release(),
                                                  after, std::move(callback));
}

std::unique_ptr<IPublisherMetadata> TSandboxEventLog::OpenPublisherMetadata(const std::string& provider) {
    if (!SafeName(provider))
        return {};
    const std::string folder = PublisherFolder(FSandbox);
    std::string file;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() > 4 && EndsWith(name, ".xml") &&
                SameText(std::string_view(name).substr(0, name.size() - 4), provider)) {
                file = folder + "/" + name;
                break;
            }
        }
        ::closedir(d);
    }
    if (file.empty())
        return {};
    bool tooLarge = false;
    auto xml = ReadLimited(file, tooLarge);
    std::vector<TSandboxMessage> messages;
    if (!xml || !ParsePublisher(*xml, messages))
        return {};
    return std::make_unique<TSandboxPublisher>(std::move(messages));
}

uint32_t TSandboxEventLog::FormatMessageText(IPublisherMetadata& metadata, IEventRecord& event,
                                         char16_t* buffer, uint32_t bufferChars,
                                         uint32_t& bufferUsed) {
    bufferUsed = 0;
    auto* publisher = dynamic_cast<TSandboxPublisher*>(&metadata);
    auto* record = dynamic_cast<TSandboxEventRecord*>(&event);
    if (!publisher || !record)
        return 6; // ERROR_INVALID_HANDLE
    std::string text;
    const uint32_t rc = FormatEventText(record->Xml(), publisher->Messages, text);
    if (rc != 0 && rc != ERROR_EVT_UNRESOLVED_VALUE_INSERT_CODE)
        return rc;
    const std::u16string wide = Utf8ToUtf16(text);
    bufferUsed = static_cast<uint32_t>(wide.size() + 1);
    if (!buffer || bufferChars < wide.size() + 1)
        return ERROR_INSUFFICIENT_BUFFER_CODE;
    std::memcpy(buffer, wide.data(), wide.size() * sizeof(char16_t));
    buffer[wide.size()] = u'\0';
    return rc;
}

uint32_t TSandboxEventLog::FormatEventText(const std::string& eventXml,
                                           const std::vector<TSandboxMessage>& messages,
                                           std::string& text) {
    text.clear();
    pugi::xml_document doc;
    if (!doc.load_buffer(eventXml.data(), eventXml.size(), pugi::parse_default, pugi::encoding_utf8))
        return ERROR_INVALID_DATA_CODE;
    const pugi::xml_node system = ChildByLocalName(doc.document_element(), "System");
    int64_t id = 0;
    if (!TryStrToInt64(Trim(TextOf(ChildByLocalName(system, "EventID"))), id))
        return ERROR_EVT_MESSAGE_NOT_FOUND_CODE;
    const TSandboxMessage* message = nullptr;
    for (const auto& m : messages)
        if (id >= m.FirstId && id <= m.LastId) {
            message = &m;
            break;
        }
    if (!message)
        return ERROR_EVT_MESSAGE_NOT_FOUND_CODE;
    std::vector<std::string> inserts;
    const pugi::xml_node data = ChildByLocalName(doc.document_element(), "EventData");
    for (pugi::xml_node c = data.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && LocalName(c) == "Data")
            inserts.push_back(TextOf(c));
    bool unresolved = false;
    const std::string& t = message->Template;
    for (size_t i = 0; i < t.size(); ++i) {
        if (text.size() > MaxFileBytes)
            return ERROR_INVALID_DATA_CODE; // an expansion that would not end in a sane size
        if (t[i] != '%' || i + 1 == t.size()) {
            text += t[i];
            continue;
        }
        const char next = t[i + 1];
        if (next == 'n') {
            text += "\r\n";
            ++i;
        } else if (next == '%') {
            text += '%';
            ++i;
        } else if (next >= '1' && next <= '9') {
            size_t j = i + 1;
            size_t index = 0;
            while (j < t.size() && j < i + 3 && t[j] >= '0' && t[j] <= '9')
                index = index * 10 + static_cast<size_t>(t[j++] - '0');
            if (index >= 1 && index <= inserts.size()) {
                text += inserts[index - 1];
            } else {
                unresolved = true;
                text.append(t, i, j - i);
            }
            i = j - 1;
        } else {
            text += t[i];
        }
    }
    if (text.size() > MaxFileBytes)
        return ERROR_INVALID_DATA_CODE;
    return unresolved ? ERROR_EVT_UNRESOLVED_VALUE_INSERT_CODE : 0;
}

bool TSandboxEventLog::ParsePublisher(const std::string& xml, std::vector<TSandboxMessage>& messages) {
    messages.clear();
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8))
        return false;
    const pugi::xml_node root = doc.document_element();
    if (std::strcmp(root.name(), "Publisher") != 0)
        return false;
    for (pugi::xml_node m = root.child("Message"); m; m = m.next_sibling("Message")) {
        TSandboxMessage message;
        message.Template = TextOf(m);
        if (auto id = m.attribute("Id")) {
            if (!TryStrToInt64(id.value(), message.FirstId))
                continue;
            message.LastId = message.FirstId;
        } else if (auto ids = m.attribute("Ids")) {
            const std::string range = ids.value();
            const size_t dash = range.find('-', 1);
            if (dash == std::string::npos || !TryStrToInt64(range.substr(0, dash), message.FirstId) ||
                !TryStrToInt64(range.substr(dash + 1), message.LastId))
                continue;
        } else {
            continue;
        }
        messages.push_back(std::move(message));
    }
    return true;
}

std::string TSandboxEventLog::RenderEventXml(const TSandboxEvent& event, uint64_t recordId,
                                             const std::string& channel) {
    std::ostringstream x;
    x << "<Event xmlns=\"" << EventNamespace << "\">"
      << "<System>"
      << "<Provider Name=\"" << XmlEscape(event.Provider) << "\"/>"
      << "<EventID Qualifiers=\"0\">" << event.EventId << "</EventID>"
      << "<Version>0</Version>"
      << "<Level>" << event.Level << "</Level>"
      << "<Task>0</Task>"
      << "<Opcode>0</Opcode>"
      << "<Keywords>0x80000000000000</Keywords>"
      << "<TimeCreated SystemTime=\"" << UtcNowIso() << "\"/>"
      << "<EventRecordID>" << recordId << "</EventRecordID>"
      << "<Correlation/>"
      << "<Execution ProcessID=\"" << ::getpid() << "\" ThreadID=\"0\"/>"
      << "<Channel>" << XmlEscape(channel) << "</Channel>"
      << "<Computer>" << XmlEscape(ComputerName()) << "</Computer>"
      << "<Security/>"
      << "</System>"
      << "<EventData>";
    for (const auto& d : event.Data)
        x << "<Data>" << XmlEscape(d) << "</Data>";
    x << "</EventData></Event>";
    return x.str();
}

uint64_t TSandboxEventLog::WriteEvent(const std::string& sandbox, const std::string& channel,
                                      const TSandboxEvent& event) {
    return AppendEventXml(sandbox, channel,
                          [&](uint64_t id) { return RenderEventXml(event, id, channel); });
}

uint64_t TSandboxEventLog::AppendEventXml(const std::string& sandbox, const std::string& channel,
                                          const std::function<std::string(uint64_t)>& render) {
    if (!SafeName(channel))
        throw Exception("Invalid event channel name \"" + channel + "\"");
    const std::string folder = ChannelFolder(sandbox, channel);
    if (!DirectoryExists(folder) && !ForceDirectories(folder))
        throw Exception("Cannot create the event channel folder " + folder);
    TFd seq(::open((folder + "/.sequence").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (seq.Get() < 0)
        throw Exception("Cannot open " + folder + "/.sequence: " + std::strerror(errno));
    while (::flock(seq.Get(), LOCK_EX) != 0)
        if (errno != EINTR)
            throw Exception("Cannot lock " + folder + "/.sequence: " + std::strerror(errno));
    struct TUnlock {
        int Fd;
        ~TUnlock() { ::flock(Fd, LOCK_UN); }
    } unlock{seq.Get()};

    uint64_t last = 0;
    if (!ReadSequence(seq.Get(), last))
        last = HighestEventFileNumber(folder); // a new or damaged sequence file
    const uint64_t n = last + 1;
    const std::string xml = render(n);
    static std::atomic<uint64_t> counter{0};
    const std::string tmp = folder + "/.tmp-" + std::to_string(::getpid()) + "-" +
                            std::to_string(counter.fetch_add(1));
    {
        TFd out(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (out.Get() < 0)
            throw Exception("Cannot write " + tmp + ": " + std::strerror(errno));
        WriteAll(out.Get(), xml, tmp);
    }
    if (::rename(tmp.c_str(), (folder + "/" + EventFileName(n)).c_str()) != 0) {
        const int e = errno;
        ::unlink(tmp.c_str());
        throw Exception("Cannot write the event " + EventFileName(n) + ": " + std::strerror(e));
    }
    // The number advances only once the event is in place: readers go by it.
    char line[SequenceBytes + 1];
    std::snprintf(line, sizeof line, "%020llu\n", static_cast<unsigned long long>(n));
    if (::pwrite(seq.Get(), line, SequenceBytes, 0) != static_cast<ssize_t>(SequenceBytes))
        throw Exception("Cannot write " + folder + "/.sequence: " + std::strerror(errno));
    if (n > KeptEvents)
        ::unlink((folder + "/" + EventFileName(n - KeptEvents)).c_str());
    return n;
}

void TSandboxEventLog::RegisterPublisher(const std::string& sandbox, const std::string& provider,
                                         const std::vector<TSandboxMessage>& messages) {
    if (!SafeName(provider))
        throw Exception("Invalid event provider name \"" + provider + "\"");
    const std::string folder = PublisherFolder(sandbox);
    if (!DirectoryExists(folder) && !ForceDirectories(folder))
        throw Exception("Cannot create the publisher folder " + folder);
    std::string xml = "<Publisher Name=\"" + XmlEscape(provider) + "\">\n";
    for (const auto& m : messages) {
        xml += m.FirstId == m.LastId ? "  <Message Id=\"" + std::to_string(m.FirstId) + "\">"
                                     : "  <Message Ids=\"" + std::to_string(m.FirstId) + "-" +
                                           std::to_string(m.LastId) + "\">";
        xml += XmlEscape(m.Template) + "</Message>\n";
    }
    xml += "</Publisher>\n";
    WriteFileAtomic(folder + "/" + provider + ".xml", xml);
}

uint64_t TSandboxEventLog::LastRecordId(const std::string& sandbox, const std::string& channel) {
    if (!SafeName(channel))
        return 0;
    const std::string folder = ChannelFolder(sandbox, channel);
    TFd seq(::open((folder + "/.sequence").c_str(), O_RDONLY | O_CLOEXEC));
    if (seq.Get() < 0)
        return 0;
    ::flock(seq.Get(), LOCK_SH);
    uint64_t n = 0;
    if (!ReadSequence(seq.Get(), n))
        n = HighestEventFileNumber(folder);
    ::flock(seq.Get(), LOCK_UN);
    return n;
}

} // namespace cv
