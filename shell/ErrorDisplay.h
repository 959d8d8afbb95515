#pragma once
// The application's general error display: an exception escaping an event handler is shown
// in a standard error box with its message, and the window goes on.
#include <QApplication>
#include <functional>

namespace cv {

class TVornixApplication : public QApplication {
public:
    TVornixApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
    // Replaces the box, for tests: receives the message instead.
    static void SetErrorSink(std::function<void(const QString&)> sink);
    static void ShowException(const QString& message);
};

} // namespace cv
