#include "Thread.h"

#include "MainThread.h"

namespace cv {

TThread::~TThread() {
    Terminate();
    if (FThread.joinable())
        FThread.join();
}

void TThread::Start() {
    FThread = std::thread([this] {
        try {
            Execute();
        } catch (...) {
            // An escaping failure ends the thread quietly, as a thread object's would.
        }
        FFinished.store(true);
    });
}

void TThread::WaitFor() {
    if (FThread.joinable())
        FThread.join();
}

void TThread::WaitForWhileSynchronizing() {
    while (FThread.joinable() && !FFinished.load())
        CheckSynchronize(std::chrono::milliseconds(10));
    WaitFor();
}

void TThread::SleepUnlessTerminated(int ms) {
    using namespace std::chrono;
    auto end = steady_clock::now() + milliseconds(ms);
    while (!Terminated()) {
        auto left = end - steady_clock::now();
        if (left <= milliseconds(0))
            break;
        std::this_thread::sleep_for(std::min<steady_clock::duration>(left, milliseconds(20)));
    }
}

} // namespace cv
