#pragma once
// A worker thread object in the manner of the units' descriptions: Execute runs on the
// thread; Terminate asks it to end; Terminated is polled by Execute.
#include <atomic>
#include <chrono>
#include <thread>

namespace cv {

class TThread {
public:
    TThread() = default;
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;
    // Derived destructors must stop the thread (Terminate + WaitFor) before their members go.
    virtual ~TThread();

    void Terminate() { FTerminated.store(true); }
    bool Terminated() const { return FTerminated.load(); }
    bool Finished() const { return FFinished.load(); }
    // Blocks until Execute has returned.
    void WaitFor();
    // Main thread: waits for Execute to return while running pending hand-over calls every
    // 10 ms, so a worker blocked in Synchronize can finish.
    void WaitForWhileSynchronizing();

protected:
    // Starts the thread; a derived constructor calls it last, once everything is built.
    void Start();
    virtual void Execute() = 0;
    // Sleeps up to `ms`, returning early when termination is asked.
    void SleepUnlessTerminated(int ms);

private:
    std::thread FThread;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
};

} // namespace cv
