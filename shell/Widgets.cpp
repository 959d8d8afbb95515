#include "Widgets.h"

namespace cv::ui {

QLabel* Text(const QString& name, const QString& text, QWidget* parent, bool bold, int pixelSize) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    if (bold || pixelSize) {
        QFont f = l->font();
        f.setBold(bold);
        if (pixelSize)
            f.setPixelSize(pixelSize);
        l->setFont(f);
    }
    return l;
}

QLabel* Picture(const QString& name, const QPixmap& pixmap, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setPixmap(pixmap);
    l->setFixedSize(pixmap.size().isEmpty() ? QSize(16, 16) : pixmap.size());
    return l;
}

QFrame* Rule(QWidget* parent) {
    auto* r = new QFrame(parent);
    r->setFixedHeight(1);
    r->setStyleSheet(QStringLiteral("background-color: #d4dbe3;"));
    return r;
}

QString LinkHtml(const QString& key, const QString& text) {
    return QStringLiteral("<a href=\"%1\" style=\"color:#4675a0; text-decoration:none;\">%2</a>")
        .arg(key, text.toHtmlEscaped());
}

QLabel* LinkLabel(const QString& name, const QString& key, const QString& caption,
                  QWidget* parent, const TLinkHandler& onLink) {
    auto* label = Text(name, LinkHtml(key, caption), parent);
    label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    label->setCursor(Qt::PointingHandCursor);
    QObject::connect(label, &QLabel::linkActivated, label, onLink);
    return label;
}

QCommandLinkButton* CommandButton(const QString& name, const QString& caption, const QIcon& icon,
                                  QWidget* parent) {
    auto* b = new QCommandLinkButton(caption, parent);
    b->setObjectName(name);
    b->setIcon(icon);
    b->setIconSize(QSize(24, 24));
    b->setMinimumHeight(44);
    return b;
}

} // namespace cv::ui
