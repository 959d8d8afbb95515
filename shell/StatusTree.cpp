#include "StatusTree.h"

#include "Images.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace cv {

namespace {

class TApplicationDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        // Own drawing only: no selection or focus decoration, both pictures in every state.
        const QRect r = option.rect;
        const QString text = index.data(Qt::DisplayRole).toString();
        const QFontMetrics fm(option.font);
        const int textLeft = r.left() + 21;
        const int textWidth = fm.horizontalAdvance(text);
        const int textTop = r.top() + (r.height() - fm.height()) / 2;
        p->save();
        p->setFont(option.font);
        p->setPen(option.palette.color(QPalette::Text));
        p->drawText(QRect(textLeft, textTop, textWidth + 2, fm.height()),
                    Qt::AlignLeft | Qt::AlignVCenter, text);
        p->drawPixmap(1, r.top() + 1, images::Tree(index.data(TApplicationsTree::ImageRole).toInt()));
        p->drawPixmap(textLeft + textWidth + 3, r.top() + 1,
                      images::Tree(index.data(TApplicationsTree::SelectedImageRole).toInt()));
        p->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        return {s.width() + 40, std::max(s.height(), 19)};
    }
};

} // namespace

TApplicationsTree::TApplicationsTree(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("TreeView1"));
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setIndentation(19);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new TApplicationDelegate(this));
    setMouseTracking(true);
}

void TApplicationsTree::AplStatesUpdate(const TApplicationStates* states) {
    setUpdatesEnabled(false);
    if (states) {
        clear();
        for (const auto& n : BuildApplicationNodes(*states)) {
            auto* item = new QTreeWidgetItem(this);
            item->setText(0, QString::fromStdString(n.Text));
            item->setData(0, ImageRole, n.ImageIndex);
            item->setData(0, SelectedImageRole, n.SelectedIndex);
        }
    } else {
        for (int i = 0; i < topLevelItemCount(); ++i) {
            topLevelItem(i)->setData(0, ImageRole, 3);
            topLevelItem(i)->setData(0, SelectedImageRole, 6);
        }
    }
    setUpdatesEnabled(true);
    viewport()->update();
}

QString TApplicationsTree::HintAt(const QPoint& viewportPos) const {
    const QTreeWidgetItem* item = itemAt(viewportPos);
    if (!item)
        return {};
    return QString::fromStdString(ApplicationHint(item->data(0, ImageRole).toInt(),
                                                  item->data(0, SelectedImageRole).toInt()));
}

bool TApplicationsTree::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString hint = HintAt(help->pos());
        if (hint.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), hint, viewport(), {}, 10000);
        return true;
    }
    return QTreeWidget::viewportEvent(event);
}

} // namespace cv
