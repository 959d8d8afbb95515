#pragma once
// Small builders shared by the window's sections, so every label, picture and link looks the
// same wherever it stands.
#include <QCommandLinkButton>
#include <QFrame>
#include <QLabel>
#include <functional>

namespace cv::ui {

// Receives the key of a clicked link.
using TLinkHandler = std::function<void(const QString& key)>;

QLabel* Text(const QString& name, const QString& text, QWidget* parent, bool bold = false,
             int pixelSize = 0);
QLabel* Picture(const QString& name, const QPixmap& pixmap, QWidget* parent);
QFrame* Rule(QWidget* parent);
QString LinkHtml(const QString& key, const QString& text);
QLabel* LinkLabel(const QString& name, const QString& key, const QString& caption,
                  QWidget* parent, const TLinkHandler& onLink);
QCommandLinkButton* CommandButton(const QString& name, const QString& caption, const QIcon& icon,
                                  QWidget* parent);

} // namespace cv::ui
