// Opens the control panel on the sandbox named by VORNIX_SANDBOX once per scene, puts it into
// the scene's state and saves what the screen shows of the window as OUT/demo-NAME.png.
//   vornix-demo-shots OUT [NAME...]   (no names: every scene)
#include "DemoShots.h"

#include "core/MainThread.h"
#include "shell/ErrorDisplay.h"
#include "shell/QtHandOver.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace cvdemo {

namespace {
std::vector<TScene>& Registry() {
    static std::vector<TScene> scenes;
    return scenes;
}
} // namespace

void RegisterScene(TScene scene) { Registry().push_back(std::move(scene)); }

void Wait(int ms) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        cv::CheckSynchronize(std::chrono::milliseconds(0));
        QThread::msleep(10);
    }
}

} // namespace cvdemo

namespace {

// Without a window manager the screen holds the window without a frame; a screen grab also
// shows what lies above it (dialogs, pop-ups), which QWidget::grab leaves out.
QPixmap Shoot(QWidget& window) {
    QScreen* screen = window.screen();
    if (screen && QGuiApplication::platformName() == QLatin1String("xcb")) {
        const QRect r = window.frameGeometry();
        return screen->grabWindow(0, r.x(), r.y(), r.width(), r.height());
    }
    return window.grab();
}

} // namespace

int main(int argc, char** argv) {
    cv::TVornixApplication app(argc, argv);
    cv::TVornixApplication::setApplicationDisplayName(QStringLiteral("Vornix Control Panel"));
    cv::InstallQtMainThreadWaker();
    if (argc < 2) {
        std::fprintf(stderr, "usage: vornix-demo-shots OUT [NAME...]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    std::vector<std::string> wanted(argv + 2, argv + argc);

    int status = 0;
    for (const cvdemo::TScene& scene : cvdemo::Registry()) {
        if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), scene.Name) == wanted.end())
            continue;
        {
            cv::TForm1 form(cv::CreatePlatform());
            form.show();
            cvdemo::Wait(2000); // the feed connects and the tree fills in
            scene.Prepare(form);
            cvdemo::Wait(scene.SettleMs);
            const QString file = out + QStringLiteral("/demo-%1.png").arg(QString::fromStdString(scene.Name));
            if (Shoot(form).save(file)) {
                std::printf("demo: %s saved to %s\n", scene.Name.c_str(), file.toLocal8Bit().constData());
            } else {
                std::fprintf(stderr, "demo: could not save %s\n", file.toLocal8Bit().constData());
                status = 1;
            }
        }
        cvdemo::Wait(200); // let the closed window's deferred deletions run
    }
    cv::RemoveQtMainThreadWaker();
    return status;
}
