// GoogleTest inside a headless Qt application, for the tests on a real editing component.
#include <gtest/gtest.h>

#include <QApplication>

namespace {
QtMessageHandler gPrevious = nullptr;
// The headless platform's note about the runtime folder is not news.
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("XDG_RUNTIME_DIR")))
        return;
    if (gPrevious)
        gPrevious(type, context, message);
}
} // namespace

int main(int argc, char** argv) {
    gPrevious = qInstallMessageHandler(QuietHandler);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
