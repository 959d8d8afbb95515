#include "platform/FileSystem.h"

#include "ScopedHandle.h"
#include "Win32Text.h"
#include "core/Assert.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>

namespace cv {
namespace {

DWORD Attributes(const std::string& path) {
    return ::GetFileAttributesW(win32::Widen(path).c_str());
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

[[noreturn]] void RaiseWriteError(const std::string& path, DWORD code) {
    throw Exception("Cannot write file \"" + path + "\": " + win32::SystemErrorText(code));
}

// Unique among this process's writers; the process id separates processes.
std::string TempNameBeside(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return path + ".~" + std::to_string(::GetCurrentProcessId()) + "_" +
           std::to_string(counter.fetch_add(1)) + ".tmp";
}

bool ProcessIsGone(DWORD pid) {
    win32::THandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
    if (!process)
        return ::GetLastError() == ERROR_INVALID_PARAMETER; // no such process
    return ::WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0;
}

// Temporary files of this file whose writer is gone (a crash between create and rename).
void RemoveStaleTemporaries(const std::string& path) {
    const size_t cut = path.find_last_of("\\/");
    const std::string folder = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
    const std::string prefix = (cut == std::string::npos ? path : path.substr(cut + 1)) + ".~";
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW(win32::Widen(path + ".~*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = win32::Narrow(found.cFileName);
        if (name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const DWORD pid = std::strtoul(name.c_str() + prefix.size(), nullptr, 10);
        if (pid != 0 && pid != ::GetCurrentProcessId() && ProcessIsGone(pid))
            ::DeleteFileW(win32::Widen(folder + name).c_str());
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

} // namespace

std::string NativePath(const std::string& path) {
    return path;
}

bool FileExists(const std::string& path) {
    DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
    DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDir(const std::string& path) {
    return ::CreateDirectoryW(win32::Widen(path).c_str(), nullptr) != FALSE;
}

bool ForceDirectories(const std::string& path) {
    std::string dir = path;
    while (dir.size() > 1 && IsSeparator(dir.back()))
        dir.pop_back();
    if (dir.empty())
        return false;
    if (DirectoryExists(dir))
        return true;
    size_t cut = dir.find_last_of("\\/");
    if (cut != std::string::npos && cut > 0) {
        std::string parent = dir.substr(0, cut);
        // "C:" alone is a drive, not a folder to create.
        if (!(parent.size() == 2 && parent[1] == ':') && !ForceDirectories(parent))
            return false;
    }
    return CreateDir(dir) || DirectoryExists(dir);
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
    win32::TFileHandle file(::CreateFileW(win32::Widen(path).c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return std::nullopt;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0)
        return std::nullopt;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD read = 0;
        if (!::ReadFile(file.Get(), bytes.data() + done, chunk, &read, nullptr))
            return std::nullopt;
        if (read == 0)
            break; // shrank while we read
        done += read;
    }
    bytes.resize(done);
    return bytes;
}

std::string ReadFileOrRaise(const std::string& path) {
    auto fail = [&](DWORD code) {
        throw Exception("Cannot read file \"" + path + "\": " + win32::SystemErrorText(code));
    };
    win32::TFileHandle file(::CreateFileW(win32::Widen(path).c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        fail(::GetLastError());
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size))
        fail(::GetLastError());
    std::string bytes(static_cast<size_t>(std::max<LONGLONG>(size.QuadPart, 0)), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD read = 0;
        if (!::ReadFile(file.Get(), bytes.data() + done, chunk, &read, nullptr))
            fail(::GetLastError());
        if (read == 0)
            break; // shrank while we read
        done += read;
    }
    bytes.resize(done);
    return bytes;
}

void WriteFileAtomic(const std::string& path, const std::string& bytes) {
    RemoveStaleTemporaries(path);
    const std::string temp = TempNameBeside(path);
    const std::wstring wideTemp = win32::Widen(temp);
    const std::wstring widePath = win32::Widen(path);
    {
        win32::TFileHandle file(::CreateFileW(wideTemp.c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            RaiseWriteError(path, ::GetLastError());
        if (!WriteAll(file.Get(), bytes) || !::FlushFileBuffers(file.Get())) {
            DWORD code = ::GetLastError();
            file.Reset();
            ::DeleteFileW(wideTemp.c_str());
            RaiseWriteError(path, code);
        }
    }
    // Replacing keeps the original's security descriptor, attributes and identity, which a
    // rename over it would not.
    if (FileExists(path)) {
        if (::ReplaceFileW(widePath.c_str(), wideTemp.c_str(), nullptr,
                           REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
            return;
        const DWORD code = ::GetLastError();
        // With these two the original is gone or left aside and the new content is still in
        // the temporary file: a plain move finishes the job. Otherwise the original is intact.
        if (code != ERROR_UNABLE_TO_MOVE_REPLACEMENT && code != ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
            ::DeleteFileW(wideTemp.c_str());
            RaiseWriteError(path, code);
        }
    }
    if (!::MoveFileExW(wideTemp.c_str(), widePath.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DWORD code = ::GetLastError();
        ::DeleteFileW(wideTemp.c_str());
        RaiseWriteError(path, code);
    }
}

bool MoveFileTo(const std::string& from, const std::string& to) {
    return ::MoveFileW(win32::Widen(from).c_str(), win32::Widen(to).c_str()) != FALSE;
}

bool DeleteFileAt(const std::string& path) {
    return ::DeleteFileW(win32::Widen(path).c_str()) != FALSE;
}

} // namespace cv
