// The system's events: one in the message bar, and the message history with what came before.
#include "DemoShots.h"

#include "platform/Platform.h"
#include "platform/sandbox/SandboxEventLog.h"

#include <QItemSelectionModel>
#include <QTreeView>

namespace {

void SystemEvent(int level, int id, const std::string& text) {
    cv::TSandboxEventLog::WriteEvent(cv::SandboxFolder(), "Application",
                                     {"Corvane", id, level, {text}});
}

} // namespace

CV_DEMO_SCENE("event", 1500) {
    SystemEvent(2, 12021,
                "The historian could not write archive block 7.\r\nThe archive volume is almost "
                "full; free space or move the archive.");
}

CV_DEMO_SCENE("history", 2000) {
    SystemEvent(4, 1001, "Operator station OS2 connected.");
    cvdemo::Wait(300);
    SystemEvent(3, 12010, "Application REPORTS went cold.\r\nIt restarts with the next report run.");
    cvdemo::Wait(300);
    SystemEvent(2, 12021,
                "The historian could not write archive block 7.\r\nThe archive volume is almost "
                "full; free space or move the archive.");
    cvdemo::Wait(300);
    SystemEvent(4, 1002, "Operator station OS2 disconnected.");
    cvdemo::Wait(500);
    form.ShowMessageHistoryPanel();
    if (auto* list = cvdemo::Find<QTreeView>(form, "MessageHistoryList"))
        list->selectionModel()->select(list->model()->index(1, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}
