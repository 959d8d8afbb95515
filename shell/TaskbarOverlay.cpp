#include "TaskbarOverlay.h"

#include <QCoreApplication>

namespace cv {

TTaskbarOverlay::TTaskbarOverlay(std::shared_ptr<ITaskbar> taskbar,
                                 std::function<void()> buttonCreated)
    : FTaskbar(std::move(taskbar)), FButtonCreated(std::move(buttonCreated)) {}

TTaskbarOverlay::~TTaskbarOverlay() {
    if (FListening && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
    if (FTaskbar)
        FTaskbar->Detach();
}

void TTaskbarOverlay::Attach(uintptr_t window) {
    if (!FTaskbar)
        return;
    FTaskbar->Attach(window);
    if (!FListening && QCoreApplication::instance()) {
        QCoreApplication::instance()->installNativeEventFilter(this);
        FListening = true;
    }
}

bool TTaskbarOverlay::Show(const QImage& status, const std::string& text) {
    return FTaskbar && FTaskbar->SetOverlay(Picture(status), text);
}

bool TTaskbarOverlay::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    // The shell sends its message to the window itself; only Windows messages reach the port.
    if (FTaskbar && eventType == "windows_generic_MSG" && FTaskbar->ButtonCreated(message) &&
        FButtonCreated)
        FButtonCreated();
    return false;
}

TOverlayPicture TTaskbarOverlay::Picture(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    TOverlayPicture picture;
    picture.Width = argb.width();
    picture.Height = argb.height();
    picture.Pixels.reserve(size_t(argb.width()) * size_t(argb.height()));
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        picture.Pixels.insert(picture.Pixels.end(), row, row + argb.width());
    }
    return picture;
}

} // namespace cv
