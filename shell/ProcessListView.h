#pragma once
// The process panel's list: one group per account, in the order of its earliest process, five
// right-aligned columns, and the selection and scroll position kept when it is filled again.
#include "service/CvProcessList.h"

#include <QTreeWidget>
#include <functional>

namespace cv {

class TProcessListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit TProcessListView(QWidget* parent);
    void ShowProcessList(const std::vector<TCvProcessRec>& records);
    // The process of the one selected item; 0 when none or several are selected.
    uint32_t SelectedProcessId() const;

    std::function<void()> OnKillProcess;     // "Kill Process"
    std::function<void()> OnKillAllProcess;  // "Kill All Processes"
    std::function<void()> OnDeleteKey;       // the Delete key released

protected:
    void keyReleaseEvent(QKeyEvent* event) override;
};

} // namespace cv
