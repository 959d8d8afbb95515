#include "MessageHistoryView.h"

#include "Images.h"
#include "Widgets.h"

#include <QAbstractTableModel>
#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QShortcut>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace cv {

class TMessageHistoryModel : public QAbstractTableModel {
public:
    enum { ColTime, ColSeverity, ColEvent, ColMessage, ColCount };

    TMessageHistoryModel(TMessageHistory& history, QObject* parent)
        : QAbstractTableModel(parent), FHistory(history) {}

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(FHistory.Count());
    }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : ColCount;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        static const char* captions[] = {"Time", "Severity", "Event", "Message"};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
            section < ColCount)
            return QString::fromLatin1(captions[section]);
        return {};
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || static_cast<size_t>(index.row()) >= FHistory.Count())
            return {};
        const TMessageHistoryEntry& e = FHistory.At(static_cast<size_t>(index.row()));
        switch (role) {
        case Qt::DisplayRole:
            switch (index.column()) {
            case ColTime:
                return QString::fromStdString(TMessageHistory::TimeText(e.Time));
            case ColSeverity:
                return QString::fromStdString(TMessageHistory::SeverityText(e.Kind));
            case ColEvent:
                return QString::fromStdString(TMessageHistory::EventNumberText(e.EventNumber));
            case ColMessage:
                return Lines(e.Text);
            }
            break;
        case Qt::DecorationRole:
            if (index.column() == ColSeverity)
                return e.Kind == 1 ? images::Error() : e.Kind == 2 ? images::Warning()
                                                                   : images::Information();
            break;
        case Qt::ToolTipRole:
            if (index.column() == ColMessage)
                return Lines(e.Text);
            break;
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::Alignment(
                (index.column() == ColEvent ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop));
        }
        return {};
    }

    void Add(uint8_t kind, const std::string& text, int32_t eventNumber, TDateTime time) {
        if (FHistory.Count() >= TMessageHistory::Capacity) {
            const int last = static_cast<int>(FHistory.Count()) - 1;
            beginRemoveRows({}, last, last);
            FHistory.DropOldest();
            endRemoveRows();
        }
        beginInsertRows({}, 0, 0);
        FHistory.Add(kind, text, eventNumber, time);
        endInsertRows();
    }
    void Clear() {
        beginResetModel();
        FHistory.Clear();
        endResetModel();
    }

private:
    // A message's lines as the list shows them: every CR LF, CR or LF one line break.
    static QString Lines(const std::string& text) {
        QString s = QString::fromStdString(text);
        s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        return s;
    }

    TMessageHistory& FHistory;
};

TMessageHistoryView::TMessageHistoryView(TMessageHistory& history, QWidget* parent)
    : QWidget(parent), FHistory(history) {
    setObjectName(QStringLiteral("MessageHistory"));
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(8);
    auto* bar = new QHBoxLayout();
    bar->setSpacing(8);
    bar->addWidget(ui::Text(QStringLiteral("MessageHistoryTitle"),
                            QStringLiteral("Message History"), this, true, 13));
    bar->addStretch(1);
    CopyMessagesButton = new QPushButton(QStringLiteral("Copy"), this);
    CopyMessagesButton->setObjectName(QStringLiteral("CopyMessagesButton"));
    CopyMessagesButton->setToolTip(QStringLiteral("Copy the selected messages."));
    ClearMessagesButton = new QPushButton(QStringLiteral("Clear"), this);
    ClearMessagesButton->setObjectName(QStringLiteral("ClearMessagesButton"));
    ClearMessagesButton->setToolTip(QStringLiteral("Remove every message from the history."));
    bar->addWidget(CopyMessagesButton);
    bar->addWidget(ClearMessagesButton);
    v->addLayout(bar);

    FModel = new TMessageHistoryModel(FHistory, this);
    MessageHistoryList = new QTreeView(this);
    MessageHistoryList->setObjectName(QStringLiteral("MessageHistoryList"));
    MessageHistoryList->setModel(FModel);
    MessageHistoryList->setRootIsDecorated(false);
    MessageHistoryList->setItemsExpandable(false);
    MessageHistoryList->setAlternatingRowColors(true);
    MessageHistoryList->setSelectionBehavior(QAbstractItemView::SelectRows);
    MessageHistoryList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    MessageHistoryList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A message's lines are the row's lines; a line wider than the list ends in an ellipsis
    // and shows whole in the tool tip and the copy.
    MessageHistoryList->setWordWrap(false);
    MessageHistoryList->setTextElideMode(Qt::ElideRight);
    auto* header = MessageHistoryList->header();
    header->setStretchLastSection(true);
    const QFontMetrics metrics(MessageHistoryList->font());
    header->resizeSection(TMessageHistoryModel::ColTime,
                          metrics.horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 16);
    header->resizeSection(TMessageHistoryModel::ColSeverity,
                          metrics.horizontalAdvance(QStringLiteral("Information")) + 40);
    header->resizeSection(TMessageHistoryModel::ColEvent,
                          metrics.horizontalAdvance(QStringLiteral("000000")) + 16);
    v->addWidget(MessageHistoryList, 1);

    connect(CopyMessagesButton, &QPushButton::clicked, this, [this] { CopySelection(); });
    connect(ClearMessagesButton, &QPushButton::clicked, this, [this] { ClearHistory(); });
    auto* copy = new QShortcut(QKeySequence::Copy, MessageHistoryList);
    copy->setContext(Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, [this] { CopySelection(); });
    connect(MessageHistoryList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { UpdateButtons(); });
    connect(FModel, &QAbstractItemModel::rowsInserted, this, [this] { UpdateButtons(); });
    connect(FModel, &QAbstractItemModel::modelReset, this, [this] { UpdateButtons(); });
    UpdateButtons();
}

TMessageHistoryView::~TMessageHistoryView() = default;

void TMessageHistoryView::Add(uint8_t kind, const std::string& text, int32_t eventNumber,
                              TDateTime time) {
    FModel->Add(kind, text, eventNumber, time);
}

void TMessageHistoryView::CopySelection() {
    std::vector<size_t> rows;
    for (const QModelIndex& index : MessageHistoryList->selectionModel()->selectedRows())
        rows.push_back(static_cast<size_t>(index.row()));
    if (rows.empty())
        return;
    QGuiApplication::clipboard()->setText(QString::fromStdString(FHistory.CopyText(rows)));
}

void TMessageHistoryView::ClearHistory() { FModel->Clear(); }

void TMessageHistoryView::UpdateButtons() {
    CopyMessagesButton->setEnabled(MessageHistoryList->selectionModel()->hasSelection());
    ClearMessagesButton->setEnabled(FHistory.Count() > 0);
}

} // namespace cv
