#include "ProcessListView.h"

#include <QDateTime>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QScrollBar>

namespace cv {

TProcessListView::TProcessListView(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("ProcessList"));
    setColumnCount(0);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);
    setContextMenuPolicy(Qt::CustomContextMenu);
    auto* popup = new QMenu(this);
    popup->setObjectName(QStringLiteral("ProcessListPopup"));
    auto* kill = popup->addAction(QStringLiteral("Kill Process"));
    kill->setObjectName(QStringLiteral("KillProcess"));
    connect(kill, &QAction::triggered, this, [this] {
        if (OnKillProcess)
            OnKillProcess();
    });
    auto* killAll = popup->addAction(QStringLiteral("Kill All Processes"));
    killAll->setObjectName(QStringLiteral("KillAllProcess"));
    connect(killAll, &QAction::triggered, this, [this] {
        if (OnKillAllProcess)
            OnKillAllProcess();
    });
    connect(this, &QWidget::customContextMenuRequested, this,
            [this, popup](const QPoint& pos) { popup->popup(viewport()->mapToGlobal(pos)); });
}

void TProcessListView::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && OnDeleteKey) {
        OnDeleteKey();
        return;
    }
    QTreeWidget::keyReleaseEvent(event);
}

uint32_t TProcessListView::SelectedProcessId() const {
    const auto selected = selectedItems();
    return selected.size() == 1 ? selected.front()->data(0, Qt::UserRole).toUInt() : 0;
}

void TProcessListView::ShowProcessList(const std::vector<TCvProcessRec>& records) {
    // One update bracket: no flicker, and the selection and scroll position survive.
    setUpdatesEnabled(false);
    const int scroll = verticalScrollBar()->value();
    const uint32_t selectedPid = SelectedProcessId();
    clear();
    if (columnCount() < 5) {
        QStringList captions;
        for (const auto& c : ProcessListColumns)
            captions << QString::fromLatin1(c.Caption);
        setColumnCount(5);
        setHeaderLabels(captions);
        const int width = viewport()->width();
        for (int i = 0; i < 5; ++i) {
            header()->resizeSection(i, ProcessListColumnWidth(size_t(i), width));
            headerItem()->setTextAlignment(i, Qt::AlignRight | Qt::AlignVCenter);
        }
    }
    const QLocale locale;
    auto started = [&locale](TDateTime dt) {
        int y, m, d, h, n, sec, ms;
        DecodeDateTime(dt, y, m, d, h, n, sec, ms);
        return locale.toString(QDateTime(QDate(y, m, d), QTime(h, n, sec)), QLocale::ShortFormat)
            .toStdString();
    };
    QFont bold = font();
    bold.setBold(true);
    QTreeWidgetItem* toSelect = nullptr;
    for (const auto& group : BuildProcessListGroups(records, started)) {
        auto* header = new QTreeWidgetItem(this);
        header->setText(0, QString::fromStdString(group.Header));
        header->setFirstColumnSpanned(true);
        header->setFlags(Qt::ItemIsEnabled);
        header->setFont(0, bold);
        header->setForeground(0, QColor(70, 117, 160));
        header->setTextAlignment(0, Qt::AlignLeft | Qt::AlignVCenter);
        for (const auto& item : group.Items) {
            auto* row = new QTreeWidgetItem(header);
            row->setText(0, QString::fromStdString(item.Caption));
            for (size_t i = 0; i < item.SubItems.size() && i < 4; ++i)
                row->setText(int(i) + 1, QString::fromStdString(item.SubItems[i]));
            for (int i = 0; i < 5; ++i)
                row->setTextAlignment(i, Qt::AlignRight | Qt::AlignVCenter);
            row->setData(0, Qt::UserRole, item.ProcessID);
            if (selectedPid && item.ProcessID == selectedPid)
                toSelect = row;
        }
        header->setExpanded(true);
    }
    if (toSelect) {
        toSelect->setSelected(true);
        setCurrentItem(toSelect);
    }
    setUpdatesEnabled(true);
    verticalScrollBar()->setValue(scroll);
}

} // namespace cv
