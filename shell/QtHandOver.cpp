#include "QtHandOver.h"

#include "core/MainThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <atomic>

namespace cv {

namespace {
// One wake-up in flight at a time is enough: the run drains everything pending.
std::atomic<bool> gWakePosted{false};
} // namespace

void InstallQtMainThreadWaker() {
    SetMainThread();
    SetMainThreadWaker([] {
        auto* app = QCoreApplication::instance();
        if (!app || gWakePosted.exchange(true))
            return;
        QMetaObject::invokeMethod(
            app,
            [] {
                gWakePosted.store(false);
                CheckSynchronize();
            },
            Qt::QueuedConnection);
    });
}

void RemoveQtMainThreadWaker() { SetMainThreadWaker({}); }

} // namespace cv
