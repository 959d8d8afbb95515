#include "MainThread.h"

#include "Assert.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace cv {

namespace {

struct TPending {
    TCall call;
    bool synchronous = false;
    std::atomic<bool> done{false};
    std::exception_ptr error;
};

struct THandOver {
    std::mutex lock;
    std::condition_variable pendingChanged; // main thread waits for work
    std::condition_variable finished;       // workers wait for their call
    std::deque<std::shared_ptr<TPending>> queue;
    std::function<void()> waker;
    std::thread::id mainThread = std::this_thread::get_id();
};

THandOver& State() {
    static THandOver s; // process-wide by nature: there is one main thread
    return s;
}

void Wake(THandOver& s, std::unique_lock<std::mutex>& held) {
    auto waker = s.waker;
    s.pendingChanged.notify_all();
    held.unlock();
    if (waker)
        waker();
}

} // namespace

void SetMainThread() {
    auto& s = State();
    std::lock_guard g(s.lock);
    s.mainThread = std::this_thread::get_id();
}

bool IsMainThread() {
    auto& s = State();
    std::lock_guard g(s.lock);
    return s.mainThread == std::this_thread::get_id();
}

void SetMainThreadWaker(std::function<void()> waker) {
    auto& s = State();
    std::lock_guard g(s.lock);
    s.waker = std::move(waker);
}

void Synchronize(const TCall& call) {
    if (IsMainThread()) {
        call();
        return;
    }
    auto& s = State();
    auto p = std::make_shared<TPending>();
    p->call = call;
    p->synchronous = true;
    std::unique_lock held(s.lock);
    s.queue.push_back(p);
    Wake(s, held);
    // Most hand-overs are done within a fraction of a millisecond; waiting that long without
    // sleeping saves the wake-up, which costs more than the call on a busy feed.
    const auto spinUntil = std::chrono::steady_clock::now() + std::chrono::microseconds(200);
    while (!p->done.load(std::memory_order_acquire) && std::chrono::steady_clock::now() < spinUntil)
        std::this_thread::yield();
    std::unique_lock again(s.lock);
    s.finished.wait(again, [&] { return p->done.load(); });
    if (p->error)
        std::rethrow_exception(p->error);
}

void Queue(TCall call) {
    auto& s = State();
    auto p = std::make_shared<TPending>();
    p->call = std::move(call);
    std::unique_lock held(s.lock);
    s.queue.push_back(std::move(p));
    Wake(s, held);
}

bool CheckSynchronize(std::chrono::milliseconds timeout) {
    auto& s = State();
    std::unique_lock held(s.lock);
    if (s.queue.empty() && timeout.count() > 0)
        s.pendingChanged.wait_for(held, timeout, [&] { return !s.queue.empty(); });
    if (s.queue.empty())
        return false;
    // Run what is pending now; calls queued while these run wait for the next round, so a
    // worker that keeps queueing cannot starve the caller.
    std::deque<std::shared_ptr<TPending>> batch;
    batch.swap(s.queue);
    held.unlock();
    for (auto& p : batch) {
        try {
            p->call();
        } catch (...) {
            if (p->synchronous)
                p->error = std::current_exception();
            // A queued call has no one to report to; the call itself must handle failures.
        }
        if (p->synchronous) {
            std::lock_guard g(s.lock);
            p->done = true;
            s.finished.notify_all();
        }
    }
    return true;
}

void DiscardPendingCalls() {
    auto& s = State();
    std::lock_guard g(s.lock);
    for (auto& p : s.queue) {
        if (p->synchronous) {
            p->error = std::make_exception_ptr(Exception("hand-over discarded"));
            p->done = true;
        }
    }
    s.queue.clear();
    s.finished.notify_all();
}

} // namespace cv
