#pragma once
#include "platform/Shell.h"

namespace cv {

// ShellExecuteExW with the default verb and a normal window; no wait.
class TWin32Shell : public IShell {
public:
    bool Execute(const std::string& file, const std::string& parameters,
                 const std::string& workingFolder) override;
};

} // namespace cv
