#include "ErrorDisplay.h"

#include <QMessageBox>
#include <exception>

namespace cv {

namespace {
std::function<void(const QString&)>& Sink() {
    static std::function<void(const QString&)> sink;
    return sink;
}
} // namespace

TVornixApplication::TVornixApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void TVornixApplication::SetErrorSink(std::function<void(const QString&)> sink) {
    Sink() = std::move(sink);
}

void TVornixApplication::ShowException(const QString& message) {
    if (Sink()) {
        Sink()(message);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), message,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

bool TVornixApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowException(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowException(QStringLiteral("Unknown error"));
    }
    return true;
}

} // namespace cv
