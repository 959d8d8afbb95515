#include "Assert.h"

#include <cstdio>

namespace cv {

static std::string UnitName(const char* file) {
    std::string f = file ? file : "";
    auto slash = f.find_last_of("/\\");
    if (slash != std::string::npos)
        f.erase(0, slash + 1);
    auto dot = f.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        f.erase(dot);
    return f;
}

std::string AssertionMessage(const char* text, const char* file, int line) {
    std::string unit = UnitName(file);
    int n = std::snprintf(nullptr, 0, "%s (%s, line %d)", text, unit.c_str(), line);
    std::string out(static_cast<size_t>(n), '\0');
    std::snprintf(out.data(), out.size() + 1, "%s (%s, line %d)", text, unit.c_str(), line);
    return out;
}

void RaiseAssertion(const char* text, const char* file, int line) {
    throw EAssertionFailed(AssertionMessage(text, file, line));
}

} // namespace cv
