#pragma once
// The window's side of the status overlay on its taskbar button: hands the window's native
// handle to the Taskbar port, passes the application's native messages on to it, and turns the
// status picture into the port's pixels. Everything Windows-specific stays behind the port.
#include "platform/Taskbar.h"

#include <QAbstractNativeEventFilter>
#include <QImage>

#include <functional>
#include <memory>
#include <string>

namespace cv {

class TTaskbarOverlay : public QAbstractNativeEventFilter {
public:
    // `buttonCreated` runs (on the window's thread) each time the shell has made the window's
    // taskbar button, so the window sets its overlay again.
    TTaskbarOverlay(std::shared_ptr<ITaskbar> taskbar, std::function<void()> buttonCreated);
    TTaskbarOverlay(const TTaskbarOverlay&) = delete;
    TTaskbarOverlay& operator=(const TTaskbarOverlay&) = delete;
    // Stops listening and lets the port release what it holds.
    ~TTaskbarOverlay() override;

    // Starts listening for the window's native messages; `window` is its native handle.
    void Attach(uintptr_t window);
    // Shows `status` on the taskbar button with `text` as its description; false when there is
    // no button overlay to set (the window then marks its own icon).
    bool Show(const QImage& status, const std::string& text);

    // The application's native message hook; never marks a message handled.
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    // The picture's pixels as the port takes them.
    static TOverlayPicture Picture(const QImage& image);

private:
    std::shared_ptr<ITaskbar> FTaskbar;
    std::function<void()> FButtonCreated;
    bool FListening = false;
};

} // namespace cv
