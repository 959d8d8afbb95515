#pragma once
// TNotifyMutex: whether the notification tool runs in this session. The tool holds the mutex
// "Notify_LocalHost" (no namespace prefix, so in the user's session) while it runs.
#include "platform/NamedMutex.h"

#include <memory>

namespace cv {

class TNotifyMutex {
public:
    static constexpr const char* MutexName = "Notify_LocalHost";

    explicit TNotifyMutex(std::shared_ptr<INamedMutex> mutexes);
    // Opens the mutex for SYNCHRONIZE, closes it again at once, and says whether that worked.
    bool NotifyMutexExists();

private:
    std::shared_ptr<INamedMutex> FMutexes;
};

} // namespace cv
