#pragma once
// Starting a program detached: in a session of its own and reaped by init, so it never stays
// behind as its starter's zombie and outlives its starter.
#include <string>
#include <vector>

namespace cv {

struct TDetachedStart {
    std::string Program;                  // full path
    std::vector<std::string> Arguments;   // after the program name
    std::string Folder;                   // working folder; empty: the current one
    std::vector<std::string> Environment; // "NAME=value"; empty: this process's
    std::string OutputFile;               // standard output and error appended there; empty: kept
};

// Waits only until the program has been exec'd. Returns its pid, or -1 when it could not be
// started (the reason in `error` as an errno value).
int StartDetached(const TDetachedStart& start, int* error = nullptr);

} // namespace cv
