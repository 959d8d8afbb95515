// GoogleTest inside a Qt application: the window tests need one, headless.
#include "shell/ErrorDisplay.h"
#include "shell/QtHandOver.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
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

// One 1280 by 1024 screen, as an administrator's desk has (the headless platform's own is
// 800 by 800, smaller than the window as designed).
void UseOffscreenScreen() {
    const QString config = QDir::tempPath() + QStringLiteral("/vornix-test-screens.json");
    QFile file(config);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(R"({"screens": [{"name": "screen-1", "x": 0, "y": 0, "width": 1280,)"
                   R"( "height": 1024, "dpi": 96, "dpr": 1}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
}
} // namespace

int main(int argc, char** argv) {
    gPrevious = qInstallMessageHandler(QuietHandler);
    UseOffscreenScreen();
    cv::TVornixApplication app(argc, argv);
    cv::InstallQtMainThreadWaker();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
