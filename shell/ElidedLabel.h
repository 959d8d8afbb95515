#pragma once
// A one-line label that cuts its text with an ellipsis at the end when it does not fit; the
// text itself stays whole (text() and the tool tip show all of it).
#include <QLabel>

namespace cv {

class TElidedLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace cv
