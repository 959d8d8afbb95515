#pragma once
// Always-on consistency checks. A failed check raises EAssertionFailed whose message is
// "<text> (<unit>, line <n>)", the unit being the source file's name without folder or
// extension, so messages read the same on every platform and build type.
#include <stdexcept>
#include <string>

namespace cv {

// Base of the program's own exceptions; the general error display shows what().
class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class EAssertionFailed : public Exception {
public:
    using Exception::Exception;
};

// A text or a set of fields that does not convert (dates, numbers).
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// Builds the message of a failed check; exposed for the few places that raise by hand.
std::string AssertionMessage(const char* text, const char* file, int line);
[[noreturn]] void RaiseAssertion(const char* text, const char* file, int line);

} // namespace cv

#define CV_ASSERT(cond, text)                                                                      \
    do {                                                                                           \
        if (!(cond))                                                                               \
            ::cv::RaiseAssertion((text), __FILE__, __LINE__);                                      \
    } while (0)
