#pragma once
// The one modal message box: a standard dialog of the given type and buttons, centred on the
// main window and carrying its caption.
#include <QMessageBox>
#include <QRect>
#include <QString>

class QWidget;

namespace cv {

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };

// Top-left of a dialog of `dialogSize` centred on `window`; halves round towards zero.
QPoint CenteredDialogPosition(const QRect& window, const QSize& dialogSize);

QMessageBox::StandardButton CenteredMessageDialog(QWidget* window, const QString& text,
                                                  TMsgDlgType type,
                                                  QMessageBox::StandardButtons buttons);
// The same box with a caption of its own instead of the window's.
QMessageBox::StandardButton CenteredMessageDialog(QWidget* window, const QString& caption,
                                                  const QString& text, TMsgDlgType type,
                                                  QMessageBox::StandardButtons buttons);

} // namespace cv
