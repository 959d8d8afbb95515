#pragma once
// The main window TForm1: the frame that composes the left column, the expand strip, the
// sections area and the full-size panels. Logic lives in the Qt-free units it drives.
#include "platform/Platform.h"
#include "service/ServiceStatus.h"

#include <QMainWindow>
#include <memory>

class QCommandLinkButton;
class QCheckBox;
class QFrame;
class QLabel;
class QScrollArea;
class QTreeWidget;
class QVBoxLayout;

namespace cv {

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(TPlatform platform, QWidget* parent = nullptr);
    ~TForm1() override;

    // True when the local service manager opens with full rights; otherwise says so.
    bool CanRunAsAdmin();
    // The 32-bit handle other instances use to bring this window forward.
    uint32_t InstanceHandle();
    void RestoreAndRaise();

    TCvService* Service() const { return FService.get(); }
    const TPlatform& Platform() const { return FPlatform; }

    void UpdateServiceStatus();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildFrame();
    QWidget* BuildLeftColumn();
    void FirstShow();

    TPlatform FPlatform;
    bool fShown = false;
    bool FRunningIn64Bit = false;
    std::string FWindowsFolder;
    uint32_t FInstanceHandle = 0;
    std::unique_ptr<TCvService> FService;

    QFrame* ControlPanel = nullptr;
    QFrame* ServiceButtonPanel = nullptr;
    QCommandLinkButton* StartButton = nullptr;
    QCommandLinkButton* StopButton = nullptr;
    QCommandLinkButton* ForceButton = nullptr;
    QLabel* ServiceLinkLabel = nullptr;
    QLabel* ServiceStatusImage = nullptr;
    QTreeWidget* TreeView1 = nullptr;
    QCheckBox* NotifyCheckbox = nullptr;
    QFrame* ExpandPanel = nullptr;
    QFrame* AdditionalPanel = nullptr;
    QScrollArea* AdditionalToolsPanel = nullptr;
    QFrame* ProcessPanel = nullptr;
    QFrame* LumoEditorPanel = nullptr;
    QFrame* MessagePanel = nullptr;
};

} // namespace cv
