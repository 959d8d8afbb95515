#include "Images.h"

#include <QFile>
#include <QFontDatabase>
#include <QString>

// The resources live in a static library, whose initialiser the linker would drop.
static void InitImageResources() { Q_INIT_RESOURCE(images); }

namespace cv::images {

namespace {
QPixmap Load(const QString& name) {
    static const bool initialised = (InitImageResources(), true);
    (void)initialised;
    return QPixmap(QStringLiteral(":/images/") + name + ".png");
}
} // namespace

void LoadWindowFonts() {
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma")))
        return;
    // Elsewhere than on Windows the window's font may come with Wine's fonts.
    for (const char* path : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"})
        if (QFile::exists(QString::fromLatin1(path)))
            QFontDatabase::addApplicationFont(QString::fromLatin1(path));
}

QPixmap Tree(int index) {
    return index >= 0 && index <= 14 ? Load(QStringLiteral("tree_%1").arg(index)) : QPixmap();
}
QPixmap Status(int index) { return Load(QStringLiteral("status_%1").arg(index)); }
QIcon StatusIcon(int index) { return QIcon(Status(index)); }
QIcon ButtonIcon(int index) {
    static const char* names[] = {"button_start", "button_stop", "button_force"};
    return QIcon(Load(QString::fromLatin1(names[index])));
}
QPixmap UpDown(int index) { return Load(QStringLiteral("updown_%1").arg(index)); }
QPixmap Back() { return Load(QStringLiteral("back")); }
QPixmap Warning() { return Load(QStringLiteral("warning")); }
QPixmap Information() { return Load(QStringLiteral("information")); }
QPixmap Error() { return Load(QStringLiteral("error")); }
QPixmap Help() { return Load(QStringLiteral("help")); }
QPixmap Certificate() { return Load(QStringLiteral("certificate")); }
QPixmap CertificateState(int index) {
    return index >= 0 && index <= 2 ? Load(QStringLiteral("cert_state_%1").arg(index)) : QPixmap();
}
QIcon Close() { return QIcon(Load(QStringLiteral("close"))); }
QIcon Application() {
    QIcon icon;
    icon.addPixmap(Load(QStringLiteral("app_32")));
    icon.addPixmap(Load(QStringLiteral("app_64")));
    return icon;
}

} // namespace cv::images
