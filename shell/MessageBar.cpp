#include "MessageBar.h"

#include "ElidedLabel.h"
#include "Images.h"
#include "ViewLogic.h"
#include "Widgets.h"

#include <QGridLayout>
#include <QMouseEvent>
#include <QToolButton>

namespace cv {

TMessageBar::TMessageBar(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("MessagePanel"));
    setAutoFillBackground(true);
    setProperty("Tag", 0);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(10, 6, 6, 6);
    grid->setHorizontalSpacing(8);
    MessageLabelHelp = ui::Picture(QStringLiteral("MessageLabelHelp"), images::Help(), this);
    MessageLabelHelp->hide();
    MessageLabel = new TElidedLabel(this);
    MessageLabel->setObjectName(QStringLiteral("MessageLabel"));
    QFont f = MessageLabel->font();
    f.setBold(true);
    MessageLabel->setFont(f);
    MessageLabel->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    MessageLabel->setMinimumWidth(50);
    MessageLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    MessageHelpContext = ui::Text(QStringLiteral("MessageHelpContext"), QString(), this, true);
    MessageHelpContext->setWordWrap(true);
    MessageHelpContext->hide();
    CloseMessageButton = new QToolButton(this);
    CloseMessageButton->setObjectName(QStringLiteral("CloseMessageButton"));
    CloseMessageButton->setAutoRaise(true);
    CloseMessageButton->setIcon(images::Close());
    CloseMessageButton->setCursor(Qt::PointingHandCursor);
    connect(CloseMessageButton, &QToolButton::clicked, this, [this] { CloseMessage(); });
    grid->addWidget(MessageLabelHelp, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(MessageLabel, 0, 1);
    grid->addWidget(MessageHelpContext, 1, 1);
    grid->addWidget(CloseMessageButton, 0, 2, Qt::AlignTop | Qt::AlignRight);
    grid->setColumnStretch(1, 1);
    // The text leads to the message history.
    for (QLabel* text : {MessageLabel, MessageHelpContext}) {
        text->setCursor(Qt::PointingHandCursor);
        text->installEventFilter(this);
    }
    hide();
}

bool TMessageBar::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == MessageLabel || watched == MessageHelpContext) &&
        event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && OnMessageClick) {
        OnMessageClick();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

void TMessageBar::ShowMessage(uint8_t kind, const std::string& text, int32_t eventNumber) {
    const TMessageBarContent c = ComputeMessageBar(kind, text, eventNumber);
    if (!c.Show)
        return;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(c.Colour.R, c.Colour.G, c.Colour.B));
    setPalette(pal);
    const QString style = QStringLiteral("color: %1;")
                              .arg(QColor(c.TextColour.R, c.TextColour.G, c.TextColour.B).name());
    MessageLabel->setStyleSheet(style);
    MessageHelpContext->setStyleSheet(style);
    MessageHelpContext->clear();
    const QString label = QString::fromStdString(c.Label);
    MessageLabel->setText(label);
    MessageLabel->setToolTip(label);
    MessageHelpContext->setText(QString::fromStdString(c.HelpContext));
    show();
    setProperty("Tag", kind);
    MessageHelpContext->setVisible(c.ShowHelpContext);
    MessageLabelHelp->setVisible(c.ShowHelpImage);
}

void TMessageBar::CloseMessage() {
    MessageLabelHelp->hide();
    MessageHelpContext->hide();
    hide();
}

} // namespace cv
