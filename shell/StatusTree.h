#pragma once
// The applications tree: every node at the top level, its state picture at the left edge, its
// text, and its shadowing-phase picture right after the text; the hint names both.
#include "ViewLogic.h"

#include <QTreeWidget>

namespace cv {

class TApplicationsTree : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int ImageRole = Qt::UserRole;
    static constexpr int SelectedImageRole = Qt::UserRole + 1;

    explicit TApplicationsTree(QWidget* parent = nullptr);
    // With states: rebuilt from scratch, by number. Without: every node shown cold.
    void AplStatesUpdate(const TApplicationStates* states);
    QString HintAt(const QPoint& viewportPos) const;

protected:
    bool viewportEvent(QEvent* event) override;
};

} // namespace cv
