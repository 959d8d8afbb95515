#pragma once
// The message history panel's body: the messages newest first (time, severity picture, event
// number, the whole text), "Copy" for the selected rows and "Clear".
#include "MessageHistory.h"

#include <QWidget>

class QAbstractTableModel;
class QPushButton;
class QTreeView;

namespace cv {

class TMessageHistoryModel;

class TMessageHistoryView : public QWidget {
    Q_OBJECT
public:
    TMessageHistoryView(TMessageHistory& history, QWidget* parent);
    ~TMessageHistoryView() override;

    // Records a message in the history and shows it at the top.
    void Add(uint8_t kind, const std::string& text, int32_t eventNumber, TDateTime time);
    // The selected rows to the clipboard.
    void CopySelection();
    void ClearHistory();

    QTreeView* MessageHistoryList = nullptr;
    QPushButton* CopyMessagesButton = nullptr;
    QPushButton* ClearMessagesButton = nullptr;

private:
    void UpdateButtons();

    TMessageHistory& FHistory;
    TMessageHistoryModel* FModel = nullptr;
};

} // namespace cv
