#pragma once
// Starting programs and documents. Stands for ShellExecuteExW (default verb, SW_SHOWNORMAL,
// no wait). Elsewhere a detached start: a bare file name is looked up in the working folder
// and then on the search path; the program starts in the working folder.
#include <string>

namespace cv {

class IShell {
public:
    virtual ~IShell() = default;
    // Empty parameters: none; empty folder: the current one. Returns whether it started.
    virtual bool Execute(const std::string& file, const std::string& parameters,
                         const std::string& workingFolder) = 0;
};

} // namespace cv
