#include "MessageDialog.h"

#include <QWidget>

namespace cv {

QPoint CenteredDialogPosition(const QRect& window, const QSize& dialogSize) {
    return {window.left() + (window.width() - dialogSize.width()) / 2,
            window.top() + (window.height() - dialogSize.height()) / 2};
}

QMessageBox::StandardButton CenteredMessageDialog(QWidget* window, const QString& text,
                                                  TMsgDlgType type,
                                                  QMessageBox::StandardButtons buttons) {
    return CenteredMessageDialog(window, window ? window->windowTitle() : QString(), text, type,
                                 buttons);
}

QMessageBox::StandardButton CenteredMessageDialog(QWidget* window, const QString& caption,
                                                  const QString& text, TMsgDlgType type,
                                                  QMessageBox::StandardButtons buttons) {
    QMessageBox::Icon icon = QMessageBox::Warning;
    switch (type) {
    case TMsgDlgType::mtWarning:
        icon = QMessageBox::Warning;
        break;
    case TMsgDlgType::mtError:
        icon = QMessageBox::Critical;
        break;
    case TMsgDlgType::mtInformation:
        icon = QMessageBox::Information;
        break;
    case TMsgDlgType::mtConfirmation:
        icon = QMessageBox::Question;
        break;
    }
    QMessageBox box(icon, caption, text, buttons, window);
    box.setObjectName(QStringLiteral("CenteredMessageDialog"));
    box.adjustSize();
    if (window)
        box.move(CenteredDialogPosition(window->frameGeometry(), box.frameGeometry().size()));
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace cv
