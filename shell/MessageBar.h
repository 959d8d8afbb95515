#pragma once
// The message bar at the top of the window: a coloured strip with the message's first line,
// its further lines and a help picture from event 12000 on, and a button that closes it.
#include <QFrame>
#include <cstdint>
#include <functional>
#include <string>

class QLabel;
class QToolButton;

namespace cv {

class TMessageBar : public QFrame {
    Q_OBJECT
public:
    explicit TMessageBar(QWidget* parent);
    // Drops the request unless the kind is 4 or the event number is not 0.
    void ShowMessage(uint8_t kind, const std::string& text, int32_t eventNumber);
    void CloseMessage();

    // Clicking the message's text.
    std::function<void()> OnMessageClick;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* MessageLabel = nullptr;
    QToolButton* CloseMessageButton = nullptr;
    QLabel* MessageLabelHelp = nullptr;
    QLabel* MessageHelpContext = nullptr;
};

} // namespace cv
