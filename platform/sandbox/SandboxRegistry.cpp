#include "SandboxRegistry.h"

#include "core/Assert.h"
#include "core/Text.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace cv {

namespace {

constexpr const char* View32 = "32";
constexpr const char* View64 = "64";

bool IsAdministrator() {
    const char* rights = std::getenv("VORNIX_SANDBOX_RIGHTS");
    return !(rights && std::string(rights) == "user");
}

bool WantsWrite(uint32_t access) {
    return (access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) != 0;
}

// "\SOFTWARE\Vekta\" and "SOFTWARE\Vekta" name the same key; an empty component in between
// is no valid key name. Empty result: invalid.
bool NormalisePath(const std::string& path, std::string& out) {
    std::vector<std::string> parts = SplitAny(path, "\\");
    size_t first = 0, last = parts.size();
    while (first < last && parts[first].empty())
        ++first;
    if (last > first && parts[last - 1].empty())
        --last;
    if (first == last)
        return false;
    std::vector<std::string> kept(parts.begin() + static_cast<std::ptrdiff_t>(first),
                                  parts.begin() + static_cast<std::ptrdiff_t>(last));
    for (auto& p : kept)
        if (p.empty())
            return false;
    out = Join(kept, "\\");
    return true;
}

// Which tree a key lives in: only SOFTWARE is redirected for a 32-bit process.
std::string ViewOf(const std::string& normalPath, uint32_t access) {
    std::string head = normalPath.substr(0, normalPath.find('\\'));
    if (!SameText(head, "SOFTWARE"))
        return View64;
    if (access & KEY_WOW64_64KEY)
        return View64;
    return View32;
}

// File syntax: "[view\path]" opens a key, "name=value" lines follow, ";" starts a comment.
// Characters that would break a line are written as %XX.
std::string Escape(std::string_view s, std::string_view specials) {
    return PercentEscape(s, specials);
}

std::string Unescape(std::string_view s) {
    return PercentUnescape(s);
}

struct TKeyData {
    std::string View;
    std::string Path;
    std::vector<std::pair<std::string, std::string>> Values;

    std::pair<std::string, std::string>* Find(const std::string& name) {
        for (auto& v : Values)
            if (SameText(v.first, name))
                return &v;
        return nullptr;
    }
};

struct THive {
    std::vector<TKeyData> Keys;

    TKeyData* Find(const std::string& view, const std::string& path) {
        for (auto& k : Keys)
            if (k.View == view && SameText(k.Path, path))
                return &k;
        return nullptr;
    }

    // Creates the key and every missing parent, as RegCreateKeyExW does.
    TKeyData& Ensure(const std::string& view, const std::string& path) {
        std::string prefix;
        TKeyData* last = nullptr;
        for (auto& part : SplitAny(path, "\\")) {
            prefix = prefix.empty() ? part : prefix + "\\" + part;
            last = Find(view, prefix);
            if (!last) {
                Keys.push_back({view, prefix, {}});
                last = &Keys.back();
            }
        }
        CV_ASSERT(last != nullptr, "empty registry key path");
        return *last;
    }
};

THive Parse(const std::string& text) {
    THive hive;
    TKeyData* current = nullptr;
    for (auto& raw : SplitAny(text, "\n")) {
        std::string line = raw;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            current = nullptr;
            auto close = line.rfind(']');
            if (close == std::string::npos)
                continue;
            std::string id = Unescape(line.substr(1, close - 1));
            auto slash = id.find('\\');
            if (slash == std::string::npos)
                continue;
            std::string view = id.substr(0, slash);
            if (view != View32 && view != View64)
                continue;
            current = &hive.Ensure(view, id.substr(slash + 1));
            continue;
        }
        auto eq = line.find('=');
        if (!current || eq == std::string::npos)
            continue;
        std::string name = Unescape(line.substr(0, eq));
        std::string value = Unescape(line.substr(eq + 1));
        if (auto* v = current->Find(name))
            v->second = value;
        else
            current->Values.emplace_back(name, value);
    }
    return hive;
}

std::string Format(const THive& hive) {
    std::string out = "; Sandbox registry: HKEY_LOCAL_MACHINE, 32-bit and 64-bit view.\n";
    for (auto& k : hive.Keys) {
        out += "\n[" + Escape(k.View + "\\" + k.Path, "]") + "]\n";
        for (auto& [name, value] : k.Values)
            out += Escape(name, "=[;") + "=" + Escape(value, "") + "\n";
    }
    return out;
}

std::string Folder(const std::string& sandbox) {
    return sandbox + "/registry";
}

THive Load(const std::string& sandbox) {
    auto text = ReadFileBytes(TSandboxRegistry::FilePath(sandbox));
    return text ? Parse(*text) : THive{};
}

// Exclusive for one read-modify-write, across threads and processes alike: flock belongs to
// the open file description, so two opens in one process exclude each other too.
class TRegistryLock {
public:
    explicit TRegistryLock(const std::string& sandbox) {
        ForceDirectories(Folder(sandbox));
        FFd = open((Folder(sandbox) + "/lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (FFd >= 0)
            while (flock(FFd, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~TRegistryLock() {
        if (FFd >= 0)
            close(FFd);
    }
    TRegistryLock(const TRegistryLock&) = delete;
    TRegistryLock& operator=(const TRegistryLock&) = delete;
    bool Held() const { return FFd >= 0; }

private:
    int FFd = -1;
};

class TSandboxKey : public IRegistryKey {
public:
    TSandboxKey(std::string sandbox, std::string view, std::string path, uint32_t access)
        : FSandbox(std::move(sandbox)), FView(std::move(view)), FPath(std::move(path)),
          FAccess(access) {}

    std::optional<std::string> ReadString(const std::string& valueName) override {
        if (!(FAccess & KEY_QUERY_VALUE))
            return std::nullopt;
        THive hive = Load(FSandbox);
        TKeyData* key = hive.Find(FView, FPath);
        if (!key)
            return std::nullopt;
        auto* v = key->Find(valueName);
        if (!v)
            return std::nullopt;
        return v->second;
    }

    bool WriteString(const std::string& valueName, const std::string& value) override {
        if (!(FAccess & KEY_SET_VALUE))
            return false;
        TRegistryLock lock(FSandbox);
        if (!lock.Held())
            return false;
        THive hive = Load(FSandbox);
        // The key was there when it was opened and nothing deletes keys.
        TKeyData& key = hive.Ensure(FView, FPath);
        if (auto* v = key.Find(valueName))
            v->second = value;
        else
            key.Values.emplace_back(valueName, value);
        try {
            WriteFileAtomic(TSandboxRegistry::FilePath(FSandbox), Format(hive));
        } catch (const Exception&) {
            return false; // a failed registry call reports, it does not raise
        }
        return true;
    }

    bool ValueExists(const std::string& valueName) override {
        if (!(FAccess & KEY_QUERY_VALUE))
            return false;
        THive hive = Load(FSandbox);
        TKeyData* key = hive.Find(FView, FPath);
        return key && key->Find(valueName);
    }

private:
    std::string FSandbox;
    std::string FView;
    std::string FPath;
    uint32_t FAccess;
};

} // namespace

TSandboxRegistry::TSandboxRegistry(std::string sandbox) : FSandbox(std::move(sandbox)) {}

std::string TSandboxRegistry::FilePath(const std::string& sandbox) {
    return Folder(sandbox) + "/HKLM";
}

std::unique_ptr<IRegistryKey> TSandboxRegistry::OpenKey(const std::string& path, uint32_t access) {
    std::string p;
    if (!NormalisePath(path, p))
        return {};
    if (WantsWrite(access) && !IsAdministrator())
        return {};
    std::string view = ViewOf(p, access);
    THive hive = Load(FSandbox);
    TKeyData* key = hive.Find(view, p);
    if (!key)
        return {};
    return std::make_unique<TSandboxKey>(FSandbox, view, key->Path, access);
}

std::unique_ptr<IRegistryKey> TSandboxRegistry::CreateKey(const std::string& path,
                                                          uint32_t access) {
    std::string p;
    if (!NormalisePath(path, p) || !IsAdministrator())
        return {};
    std::string view = ViewOf(p, access);
    TRegistryLock lock(FSandbox);
    if (!lock.Held())
        return {};
    THive hive = Load(FSandbox);
    if (TKeyData* existing = hive.Find(view, p))
        return std::make_unique<TSandboxKey>(FSandbox, view, existing->Path, access);
    std::string stored = hive.Ensure(view, p).Path;
    try {
        WriteFileAtomic(FilePath(FSandbox), Format(hive));
    } catch (const Exception&) {
        return {};
    }
    return std::make_unique<TSandboxKey>(FSandbox, view, stored, access);
}

bool TSandboxRegistry::KeyExists(const std::string& path, uint32_t access) {
    std::string p;
    if (!NormalisePath(path, p))
        return false;
    THive hive = Load(FSandbox);
    return hive.Find(ViewOf(p, access), p) != nullptr;
}

} // namespace cv
