// GoogleTest inside a Qt application: the window tests need one, headless.
#include "shell/ErrorDisplay.h"
#include "shell/QtHandOver.h"

#include <gtest/gtest.h>

#include <QtGlobal>

namespace {
QtMessageHandler gPrevious = nullptr;
// The offscreen platform warns about window hints it cannot honour; that is not news.
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("propagateSizeHints")) ||
        message.contains(QLatin1String("XDG_RUNTIME_DIR")))
        return;
    if (gPrevious)
        gPrevious(type, context, message);
}
} // namespace

int main(int argc, char** argv) {
    gPrevious = qInstallMessageHandler(QuietHandler);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    cv::TVornixApplication app(argc, argv);
    cv::InstallQtMainThreadWaker();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
