#pragma once
// The one place that touches the file system. Paths are built with "\" as the Windows units
// build them; on POSIX every "\" becomes "/" here. Stands for GetFileAttributesW, CreateFileW,
// ReadFile/WriteFile, ReplaceFileW, MoveFileW, MoveFileExW(MOVEFILE_REPLACE_EXISTING),
// CreateDirectoryW.
#include <optional>
#include <string>

namespace cv {

std::string NativePath(const std::string& path);
bool FileExists(const std::string& path);      // a file (following links), not a folder
bool DirectoryExists(const std::string& path);
bool CreateDir(const std::string& path);       // one level
bool ForceDirectories(const std::string& path);
std::optional<std::string> ReadFileBytes(const std::string& path);
// The file's bytes; raises cv::Exception naming the path and the system's reason on failure.
std::string ReadFileOrRaise(const std::string& path);
// Writes beside the file, flushes, then puts it in the file's place: a crash never leaves half
// a file. The file keeps its permissions (POSIX: mode, and owner and group when run as root;
// Windows: security descriptor and attributes through ReplaceFileW); a symbolic link keeps
// pointing at the file, which is written (POSIX). Temporary files left by writers that no
// longer run are removed. Raises cv::Exception with the system's message on failure.
void WriteFileAtomic(const std::string& path, const std::string& bytes);
bool MoveFileTo(const std::string& from, const std::string& to); // fails when `to` exists
bool DeleteFileAt(const std::string& path);

} // namespace cv
