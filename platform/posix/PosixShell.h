#pragma once
// Starts a program detached, as the Windows shell would. A bare file name is looked up in the
// working folder (the current one when none is given) and then on PATH; a name with a folder
// is taken relative to the current folder. The program starts in the working folder with the
// parameters split as a Windows command line is (blanks separate, double quotes group,
// backslashes escape a quote). Nothing is left behind as a zombie: the program is the
// grandchild of a short-lived child and is reaped by init.
#include "platform/Shell.h"

#include <string>
#include <vector>

namespace cv {

class TPosixShell : public IShell {
public:
    bool Execute(const std::string& file, const std::string& parameters,
                 const std::string& workingFolder) override;

    // Exposed for tests: the splitting of a command line into arguments.
    static std::vector<std::string> SplitCommandLine(const std::string& parameters);
    // The executable a file name resolves to; empty when none is found.
    static std::string ResolveProgram(const std::string& file, const std::string& workingFolder);
};

} // namespace cv
