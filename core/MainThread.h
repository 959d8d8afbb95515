#pragma once
// The main-thread hand-over. Workers either Synchronize (queue a call and block until the
// main thread has run it; an exception it raises is re-raised in the worker) or Queue
// (post and go on). The main thread runs pending calls in CheckSynchronize; the Qt shell
// installs a waker that schedules that from its event loop, tests call it themselves.
#include <chrono>
#include <functional>

namespace cv {

using TCall = std::function<void()>;

// Marks the calling thread as the main thread. Called once at start-up (and by tests).
void SetMainThread();
bool IsMainThread();

// Called from any thread whenever a call becomes pending; must be cheap and thread-safe.
void SetMainThreadWaker(std::function<void()> waker);

// Runs the call on the main thread and waits for it. On the main thread it runs at once.
void Synchronize(const TCall& call);
// Posts the call for the main thread; never blocks. On the main thread it is still queued.
void Queue(TCall call);

// Main thread: runs every pending call; waits up to `timeout` for the first one when none is
// pending. Returns whether any call ran.
bool CheckSynchronize(std::chrono::milliseconds timeout = std::chrono::milliseconds(0));

// Drops queued calls that no one will run any more (tests, shutdown). Blocked Synchronize
// callers are released with an exception.
void DiscardPendingCalls();

} // namespace cv
