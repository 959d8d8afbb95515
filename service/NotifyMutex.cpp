#include "NotifyMutex.h"

namespace cv {

TNotifyMutex::TNotifyMutex(std::shared_ptr<INamedMutex> mutexes) : FMutexes(std::move(mutexes)) {}

bool TNotifyMutex::NotifyMutexExists() {
    return FMutexes && FMutexes->Exists(MutexName);
}

} // namespace cv
