// Draws the window's pictures into PNG files, and the program's icon for Windows into app.ico
// (run once; the results live in shell/images, the Qt resource file and the program's Windows
// resources; the script editor's pictures in editor/images). Usage:
// draw-icons OUTPUT_FOLDER [EDITOR_OUTPUT_FOLDER]
#include "IconFile.h"

#include <QColor>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <cstdio>

namespace {

QString gOut;

QImage Canvas(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

void Save(const QImage& img, const QString& name) {
    img.save(gOut + "/" + name + ".png");
}

bool SaveIcon(const QList<QImage>& pictures, const QString& name) {
    const QByteArray bytes = cv::IconFile(pictures);
    QFile file(gOut + "/" + name + ".ico");
    return !bytes.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

void Begin(QPainter& p) { p.setRenderHint(QPainter::Antialiasing, true); }

// The application symbol: a small window with a title bar, filled with the state's colour.
QImage Application(QColor fill, QColor edge) {
    QImage img = Canvas(16);
    QPainter p(&img);
    Begin(p);
    p.setPen(QPen(edge, 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(1.5, 2.5, 13, 11), 2, 2);
    p.setBrush(edge);
    p.drawRect(QRectF(1.5, 2.5, 13, 3));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4, 8, 8, 1.5));
    p.drawRect(QRectF(4, 10.5, 5, 1.5));
    return img;
}

// The shadowing phases: an arrow (right: sending, left: receiving) in the phase's colour with
// a dot of the partner's colour at its tail.
QImage Phase(bool right, QColor arrow, QColor dot) {
    QImage img = Canvas(16);
    QPainter p(&img);
    Begin(p);
    QPainterPath path;
    if (right) {
        path.moveTo(3, 6);
        path.lineTo(9, 6);
        path.lineTo(9, 3);
        path.lineTo(15, 8);
        path.lineTo(9, 13);
        path.lineTo(9, 10);
        path.lineTo(3, 10);
    } else {
        path.moveTo(13, 6);
        path.lineTo(7, 6);
        path.lineTo(7, 3);
        path.lineTo(1, 8);
        path.lineTo(7, 13);
        path.lineTo(7, 10);
        path.lineTo(13, 10);
    }
    path.closeSubpath();
    p.setPen(QPen(arrow.darker(150), 1));
    p.setBrush(arrow);
    p.drawPath(path);
    p.setPen(QPen(dot.darker(160), 1));
    p.setBrush(dot);
    p.drawEllipse(QPointF(right ? 3.5 : 12.5, 8), 2.6, 2.6);
    return img;
}

QImage Blank() { return Canvas(16); }

QImage Start(int size) {
    QImage img = Canvas(size);
    QPainter p(&img);
    Begin(p);
    double s = size / 16.0;
    p.setPen(QPen(QColor(30, 120, 40), 1 * s));
    p.setBrush(QColor(60, 170, 70));
    p.drawEllipse(QRectF(0.5 * s, 0.5 * s, 15 * s, 15 * s));
    QPainterPath tri;
    tri.moveTo(6 * s, 4.5 * s);
    tri.lineTo(11.5 * s, 8 * s);
    tri.lineTo(6 * s, 11.5 * s);
    tri.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(tri);
    return img;
}

QImage Stop(int size) {
    QImage img = Canvas(size);
    QPainter p(&img);
    Begin(p);
    double s = size / 16.0;
    p.setPen(QPen(QColor(150, 110, 20), 1 * s));
    p.setBrush(QColor(240, 180, 40));
    p.drawEllipse(QRectF(0.5 * s, 0.5 * s, 15 * s, 15 * s));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5 * s, 5 * s, 6 * s, 6 * s));
    return img;
}

QImage Force(int size) {
    QImage img = Canvas(size);
    QPainter p(&img);
    Begin(p);
    double s = size / 16.0;
    // An octagon, as a stop sign, with a cross: stopping without waiting.
    QPainterPath oct;
    const double pts[8][2] = {{5, 0.5}, {11, 0.5}, {15.5, 5}, {15.5, 11},
                              {11, 15.5}, {5, 15.5}, {0.5, 11}, {0.5, 5}};
    oct.moveTo(pts[0][0] * s, pts[0][1] * s);
    for (int i = 1; i < 8; ++i)
        oct.lineTo(pts[i][0] * s, pts[i][1] * s);
    oct.closeSubpath();
    p.setPen(QPen(QColor(140, 20, 20), 1 * s));
    p.setBrush(QColor(210, 40, 40));
    p.drawPath(oct);
    p.setPen(QPen(Qt::white, 2 * s, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5.3 * s, 5.3 * s), QPointF(10.7 * s, 10.7 * s));
    p.drawLine(QPointF(10.7 * s, 5.3 * s), QPointF(5.3 * s, 10.7 * s));
    return img;
}

QImage Chevron(bool up, bool hot) {
    QImage img = Canvas(16);
    QPainter p(&img);
    Begin(p);
    QColor c = hot ? QColor(70, 117, 160) : QColor(120, 120, 120);
    if (hot) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(70, 117, 160, 40));
        p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    }
    p.setPen(QPen(c, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    if (up) {
        p.drawPolyline(QPolygonF({QPointF(4, 10), QPointF(8, 6), QPointF(12, 10)}));
    } else {
        p.drawPolyline(QPolygonF({QPointF(4, 6), QPointF(8, 10), QPointF(12, 6)}));
    }
    return img;
}

QImage Back() {
    QImage img = Canvas(24);
    QPainter p(&img);
    Begin(p);
    QColor c(70, 117, 160);
    p.setPen(QPen(c, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(1, 1, 22, 22));
    p.setPen(QPen(c, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(7, 12), QPointF(17, 12));
    p.drawPolyline(QPolygonF({QPointF(11.5, 7.5), QPointF(7, 12), QPointF(11.5, 16.5)}));
    return img;
}

QImage Warning(int size) {
    QImage img = Canvas(size);
    QPainter p(&img);
    Begin(p);
    double s = size / 16.0;
    QPainterPath tri;
    tri.moveTo(8 * s, 1 * s);
    tri.lineTo(15.2 * s, 14.5 * s);
    tri.lineTo(0.8 * s, 14.5 * s);
    tri.closeSubpath();
    p.setPen(QPen(QColor(170, 120, 0), 1 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(255, 200, 30));
    p.drawPath(tri);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    p.drawRoundedRect(QRectF(7.1 * s, 5 * s, 1.8 * s, 5.5 * s), 0.8 * s, 0.8 * s);
    p.drawEllipse(QRectF(7.1 * s, 11.3 * s, 1.8 * s, 1.8 * s));
    return img;
}

QImage Round(int size, QColor fill, const QString& glyph) {
    QImage img = Canvas(size);
    QPainter p(&img);
    Begin(p);
    p.setPen(QPen(fill.darker(140), 1));
    p.setBrush(fill);
    p.drawEllipse(QRectF(0.5, 0.5, size - 1, size - 1));
    QFont f("DejaVu Sans");
    f.setBold(true);
    f.setPixelSize(int(size * 0.7));
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, size, size), Qt::AlignCenter, glyph);
    return img;
}

// An error: a red disc with a white cross.
QImage ErrorSign(int size) {
    QImage img = Canvas(size);
    QPainter p(&img);
    Begin(p);
    const double s = size / 16.0;
    p.setPen(QPen(QColor(150, 30, 25), 1));
    p.setBrush(QColor(214, 60, 50));
    p.drawEllipse(QRectF(0.5, 0.5, size - 1, size - 1));
    p.setPen(QPen(Qt::white, 2 * s, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5 * s, 5 * s), QPointF(11 * s, 11 * s));
    p.drawLine(QPointF(11 * s, 5 * s), QPointF(5 * s, 11 * s));
    return img;
}

QImage Certificate() {
    QImage img = Canvas(16);
    QPainter p(&img);
    Begin(p);
    p.setPen(QPen(QColor(110, 110, 110), 1));
    p.setBrush(QColor(250, 248, 235));
    p.drawRect(QRectF(1.5, 2.5, 13, 10));
    p.setPen(QPen(QColor(150, 150, 150), 1));
    p.drawLine(QPointF(3.5, 5.5), QPointF(11.5, 5.5));
    p.drawLine(QPointF(3.5, 7.5), QPointF(8.5, 7.5));
    p.setPen(QPen(QColor(160, 30, 30), 1));
    p.setBrush(QColor(210, 50, 50));
    p.drawEllipse(QPointF(11, 11), 2.8, 2.8);
    return img;
}

// The summary column's certificate states: the certificate with a badge in its corner, a
// green tick (valid), a grey question mark (none selected) or a red cross (not valid).
QImage CertificateState(int state) {
    QImage img = Canvas(16);
    QPainter p(&img);
    Begin(p);
    const bool none = state == 1;
    p.setPen(QPen(none ? QColor(150, 150, 150) : QColor(110, 110, 110), 1));
    p.setBrush(none ? QColor(240, 240, 240) : QColor(250, 248, 235));
    p.drawRect(QRectF(0.5, 1.5, 12, 9));
    p.setPen(QPen(QColor(160, 160, 160), 1));
    p.drawLine(QPointF(2.5, 4.5), QPointF(10.5, 4.5));
    p.drawLine(QPointF(2.5, 6.5), QPointF(7.5, 6.5));
    const QColor fill = state == 0 ? QColor(60, 160, 70) : none ? QColor(150, 150, 150)
                                                                : QColor(214, 60, 50);
    p.setPen(QPen(fill.darker(140), 1));
    p.setBrush(fill);
    p.drawEllipse(QPointF(11.5, 11.5), 4.2, 4.2);
    p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    if (state == 0) {
        p.drawPolyline(QPolygonF({QPointF(9.4, 11.6), QPointF(11, 13.2), QPointF(13.8, 10)}));
    } else if (state == 2) {
        p.drawLine(QPointF(9.8, 9.8), QPointF(13.2, 13.2));
        p.drawLine(QPointF(13.2, 9.8), QPointF(9.8, 13.2));
    } else {
        QFont f("DejaVu Sans");
        f.setBold(true);
        f.setPixelSize(7);
        p.setFont(f);
        p.drawText(QRectF(7.3, 7.4, 8.4, 8.4), Qt::AlignCenter, QStringLiteral("?"));
    }
    return img;
}

QImage Close() {
    QImage img = Canvas(16);
    QPainter p(&img);
    Begin(p);
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4, 4), QPointF(12, 12));
    p.drawLine(QPointF(12, 4), QPointF(4, 12));
    return img;
}

// The search bar's buttons: a triangle pointing up (previous) or down (next), and a cross.
QImage FindArrow(bool up) {
    QImage img = Canvas(16);
    QPainter p(&img);
    Begin(p);
    QPainterPath tri;
    if (up) {
        tri.moveTo(8, 4);
        tri.lineTo(13, 11);
        tri.lineTo(3, 11);
    } else {
        tri.moveTo(3, 5);
        tri.lineTo(13, 5);
        tri.lineTo(8, 12);
    }
    tri.closeSubpath();
    p.setPen(QPen(QColor(40, 80, 120), 1));
    p.setBrush(QColor(70, 117, 160));
    p.drawPath(tri);
    return img;
}

QImage SearchClose() {
    QImage img = Canvas(16);
    QPainter p(&img);
    Begin(p);
    p.setPen(QPen(QColor(90, 90, 90), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4.5, 4.5), QPointF(11.5, 11.5));
    p.drawLine(QPointF(11.5, 4.5), QPointF(4.5, 11.5));
    return img;
}

QImage AppIcon(int size) {
    QImage img = Canvas(size);
    QPainter p(&img);
    Begin(p);
    double s = size / 32.0;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(70, 117, 160));
    p.drawRoundedRect(QRectF(1 * s, 1 * s, 30 * s, 30 * s), 6 * s, 6 * s);
    // A gauge: the supervisory system at a glance.
    p.setPen(QPen(Qt::white, 3 * s, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(6 * s, 7 * s, 20 * s, 20 * s), 200 * 16, -220 * 16);
    p.setPen(QPen(QColor(255, 200, 30), 3 * s, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16 * s, 17 * s), QPointF(22 * s, 11 * s));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16 * s, 17 * s), 2.5 * s, 2.5 * s);
    return img;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: draw-icons OUTPUT_FOLDER [EDITOR_OUTPUT_FOLDER]\n");
        return 2;
    }
    gOut = QString::fromLocal8Bit(argv[1]);
    const QColor pink(240, 140, 170), lightBlue(120, 190, 240), green(70, 180, 80);
    const QColor grey(165, 165, 165), yellow(245, 205, 40);
    for (int i = 0; i < 3; ++i)
        Save(Blank(), QString("tree_%1").arg(i));
    Save(Application(pink, QColor(190, 70, 110)), "tree_3");
    Save(Application(lightBlue, QColor(50, 120, 190)), "tree_4");
    Save(Application(green, QColor(30, 120, 40)), "tree_5");
    Save(Blank(), "tree_6");
    const QColor sendArrows[4] = {grey, yellow, grey, green};
    for (int i = 0; i < 4; ++i)
        Save(Phase(true, sendArrows[i], pink), QString("tree_%1").arg(7 + i));
    for (int i = 0; i < 4; ++i)
        Save(Phase(false, sendArrows[i], green), QString("tree_%1").arg(11 + i));
    Save(Start(16), "status_0");
    Save(Stop(16), "status_1");
    Save(Force(16), "status_2");
    Save(Start(32), "button_start");
    Save(Stop(32), "button_stop");
    Save(Force(32), "button_force");
    Save(Chevron(false, true), "updown_0");
    Save(Chevron(false, false), "updown_1");
    Save(Chevron(true, true), "updown_2");
    Save(Chevron(true, false), "updown_3");
    Save(Back(), "back");
    Save(Warning(16), "warning");
    Save(Round(16, QColor(70, 117, 160), "i"), "information");
    Save(ErrorSign(16), "error");
    Save(Round(22, QColor(70, 117, 160), "?"), "help");
    Save(Certificate(), "certificate");
    for (int i = 0; i < 3; ++i)
        Save(CertificateState(i), QString("cert_state_%1").arg(i));
    Save(Close(), "close");
    Save(AppIcon(32), "app_32");
    Save(AppIcon(64), "app_64");
    // The sizes Windows asks for at 100 % to 200 % scaling, and the large one for Explorer.
    QList<QImage> sizes;
    for (int size : {16, 20, 24, 32, 40, 48, 64, 256})
        sizes.append(AppIcon(size));
    if (!SaveIcon(sizes, "app")) {
        std::fprintf(stderr, "draw-icons: cannot write app.ico\n");
        return 1;
    }
    if (argc > 2) {
        // The script editor's own pictures (editor/images).
        gOut = QString::fromLocal8Bit(argv[2]);
        Save(FindArrow(true), "find_previous");
        Save(FindArrow(false), "find_next");
        Save(SearchClose(), "search_close");
    }
    return 0;
}
