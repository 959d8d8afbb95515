#pragma once
// The main window TForm1: the frame that composes the left column, the expand strip, the
// sections area and the full-size panels, the message bar and the navigation between them.
// Logic lives in the Qt-free units it drives; this class shows state and forwards actions.
#include "ControlPanelView.h"
#include "MessageHistory.h"
#include "config/ToolLinks.h"
#include "core/DateTime.h"
#include "eventlog/WinEvtListenerCustom.h"
#include "platform/Platform.h"
#include "service/ServiceStatus.h"

#include <QEvent>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QCommandLinkButton;
class QFrame;
class QLabel;
class QMenuBar;
class QScrollArea;
class QTimer;
class QVBoxLayout;

namespace cv {

class TApplicationsTree;
class TBackupSection;
class TConfigSection;
class TLumoEditorHost;
class TMessageBar;
class TMessageHistoryView;
class TProcessListView;
class TSystemSection;
class TControlPanelController;
class TCvProcessList;
class TNotifyMutex;
class TProductComponents;
class TProductSetupSection;
class TSizeWarning;
class TSysConfigParEditor;
class TTaskbarOverlay;
class TWebServerSection;
class TWebServerSettings;
class TWebSettingsPresenter;

// A log entry handed to the window by the event log listener; the posted event owns it.
struct TLogEntry {
    std::string Text;
    uint8_t Level = 0;
};

class TLogEntryEvent : public QEvent {
public:
    static QEvent::Type EventType();
    TLogEntryEvent(int32_t eventNumber, std::unique_ptr<TLogEntry> entry)
        : QEvent(EventType()), EventNumber(eventNumber), Entry(std::move(entry)) {}
    int32_t EventNumber;
    std::unique_ptr<TLogEntry> Entry;
};

class TForm1 : public QMainWindow,
               public IControlPanelView,
               public IToolLinkActions,
               public ILogEntryWindow {
    Q_OBJECT
public:
    struct TOptions {
        uint16_t LogServicePort = 21850;
        int ServicePollMs = 1000;
        // Local time for the certificate link's validity; the system clock when empty.
        std::function<TDateTime()> Clock;
    };

    explicit TForm1(TPlatform platform, QWidget* parent = nullptr);
    TForm1(TPlatform platform, TOptions options, QWidget* parent = nullptr);
    ~TForm1() override;

    // True when the local service manager opens with full rights; otherwise says so.
    bool CanRunAsAdmin();
    // The 32-bit handle other instances use to bring this window forward.
    uint32_t InstanceHandle();
    void RestoreAndRaise();

    // Navigation.
    void ShowPanel(QWidget* panel);
    void OpenSection(QCommandLinkButton* button);
    bool IsExpanded() const;
    bool ToggleExpand();
    void Back();
    bool CanLeaveEditor() override;
    // The editor host's save question: mrYes, mrNo or mrCancel (LumoEditorHost.h).
    int QuerySaveEditor();

    // IControlPanelView.
    void StatusUpdate(const std::string& key, const std::string& value) override;
    void SysInfoUpdate(TSysInfo sysInfo) override;
    void AplStatesUpdate(const TApplicationStates* aplStates) override;
    void ShowMessage(uint8_t kind, const std::string& text, int32_t eventNumber) override;
    void UpdatePosition(int32_t top, int32_t left, int32_t height, int32_t width, bool maximized,
                        bool runNotify, bool extended, bool productSetup, const std::string& source,
                        const std::string& target) override;

    // IToolLinkActions: what the links make the window do.
    void LaunchTool(const std::string& file, const std::string& parameters,
                    const std::string& workingFolder) override;
    void ShowErrorMessage(const std::string& text) override;
    void SetCurrentFile(const std::string& path) override;
    void ShowLumoEditorPanel() override;
    void ShowProcessPanel() override;
    void ReplaceWithDefaultCertificate() override;
    void OpenHTTPConfigSection() override;
    std::string BackupSourceText() override;
    std::string BackupTargetText() override;
    void RunBackupCommand(int kind, const std::string& source, const std::string& target) override;
    void OverviewLabelLinkClick(const QString& link);

    // The event log listener's entries: posted to this window from the delivering thread.
    void PostLogEntry(uint32_t eventId, std::unique_ptr<TSYSLogEntry> entry) override;
    // The messages the bar was asked to show, in their full-size panel.
    void ShowMessageHistoryPanel();
    const TMessageHistory& MessageHistoryObject() const { return FMessageHistory; }

    void UpdateServiceStatus();
    void UpdateProcessInfo();
    void ShowProcessList();
    void KillProcessClick();
    void KillAllProcessClick();
    void StartServiceBtnClick();
    void StopServiceBtnClick();
    void ForceServiceBtnClick();
    void ServiceStartTypeChange();

    TCvService* Service() const { return FService.get(); }
    TControlPanelController* Controller() const { return FController.get(); }
    const TPlatform& Platform() const { return FPlatform; }
    int EnlargedWidth() const { return FEnlargedWidth; }
    const std::string& GetCvFolder() const { return CvFolder; }
    const std::string& GetWardenFolder() const { return WardenFolder; }
    const std::string& GetSysServicesFolder() const { return SysServicesFolder; }
    const std::string& CurrentFile() const { return FCurrentFile; }
    TLumoEditorHost* EditorHost() const { return FEditorHost.get(); }
    TSysConfigParEditor* ParameterFileEditor() const { return FSysConfigPar.get(); }
    TCvProcessList* ProcessListObject() const { return FProcessList.get(); }
    TProductComponents* ProductComponentsObject() const { return FProductComponents.get(); }
    bool WasMaximized() const { return FMaximized; }
    TWebSettingsPresenter* WebSettings() const { return FWebPanel.get(); }
    TTaskbarOverlay* TaskbarOverlay() const { return FTaskbar.get(); }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TSection {
        QFrame* Header = nullptr;
        QCommandLinkButton* Button = nullptr;
        QFrame* Info = nullptr;
    };

    void BuildFrame();
    QWidget* BuildLeftColumn();
    QFrame* BuildExpandPanel();
    void BuildSections(QVBoxLayout* into);
    TSection AddSection(QVBoxLayout* into, const QString& headerName, const QString& buttonName,
                        const QString& caption, const QString& infoName);
    QFrame* BuildFullPanel(const QString& name, const QString& stripName,
                           const QString& imageName, const QString& labelName);
    void BuildMenu();

    void FirstShow();
    void SectionClick(QCommandLinkButton* button);
    void SetSectionImages(QCommandLinkButton* button, bool hot);
    void ExpandPanelClick();
    void ShowServiceStatusIcon(bool running, const std::string& text);
    void ShowPoolSizes();
    void PrivePoolSizeChange(QComboBox* combo);
    void ShowSizeWarning();
    // Steps other sections fill in.
    bool ConfirmCertificateBeforeStart();
    bool ConfirmPortBeforeStart();
    void CreateWebServerPanel();
    void ResolveFolders();
    void CreateNotifyMutex();
    void CreateProcessList();
    void CreateParameterFileEditor();
    void CreateProductComponents();
    void RetakeOriginalPoolSizes();
    void LaunchNotifyIfWanted();
    void TerminateSystemProcesses();
    void ServiceStoppedHook();
    void SetClientWidth(int width);
    int FrameWidthExtra() const;
    int MinimumClientWidth() const;

    TPlatform FPlatform;
    TOptions FOptions;
    bool fShown = false;
    bool FRunningIn64Bit = false;
    std::string FWindowsFolder;
    uint32_t FInstanceHandle = 0;
    bool FComApartment = false; // entered at creation, so left at destruction
    std::unique_ptr<TTaskbarOverlay> FTaskbar; // the taskbar button's status overlay
    int FEnlargedWidth = 750;
    bool FMaximized = false;
    int32_t FKernelProcesses = 0;
    std::unique_ptr<TCvService> FService;
    std::unique_ptr<TControlPanelController> FController;
    std::vector<QCommandLinkButton*> FSections;
    std::vector<QWidget*> FPanels;
    std::vector<TSection> FAllSections;
    std::string CvFolder;
    std::string WardenFolder;
    std::string SysServicesFolder;
    std::string FCurrentFile;
    std::unique_ptr<TToolLinkDispatcher> FLinks;
    std::unique_ptr<TSysConfigParEditor> FSysConfigPar;
    std::unique_ptr<TSizeWarning> FSizeWarning;
    std::unique_ptr<TSystemSection> FSystem;
    std::unique_ptr<TConfigSection> FConfig;
    std::unique_ptr<TBackupSection> FBackup;
    std::unique_ptr<TProductSetupSection> FProductSetup;
    std::unique_ptr<TProductComponents> FProductComponents; // uses FProductSetup
    std::unique_ptr<TNotifyMutex> FMutex;
    std::unique_ptr<TCvProcessList> FProcessList;
    QTimer* FProcessTimer = nullptr;
    std::unique_ptr<TWinEvtListener> FEventLogListener;
    TMessageHistory FMessageHistory;
    std::unique_ptr<TWebServerSettings> FWebServerSettings;
    std::unique_ptr<TWebServerSection> FWebServer;
    std::unique_ptr<TWebSettingsPresenter> FWebPanel; // uses the two above and FSizeWarning
    QTimer* CertificateTimer = nullptr;
    std::unique_ptr<TLumoEditorHost> FEditorHost; // after FCurrentFile, which it reads

    // The left column.
    QFrame* ControlPanel = nullptr;
    QFrame* ServiceButtonPanel = nullptr;
    QCommandLinkButton* StartButton = nullptr;
    QCommandLinkButton* StopButton = nullptr;
    QCommandLinkButton* ForceButton = nullptr;
    QLabel* CurCertLabelImage = nullptr;
    QLabel* CertificateLinkLabel = nullptr;
    QLabel* ServiceStatusImage = nullptr;
    QLabel* ServiceLinkLabel = nullptr;
    TApplicationsTree* TreeView1 = nullptr;
    QCheckBox* NotifyCheckbox = nullptr;
    // The strip and the areas right of it.
    QFrame* ExpandPanel = nullptr;
    QLabel* ExpandCaption = nullptr;
    QFrame* AdditionalPanel = nullptr;
    QScrollArea* AdditionalToolsPanel = nullptr;
    QFrame* ProcessPanel = nullptr;
    QFrame* LumoEditorPanel = nullptr;
    QFrame* BackPanel = nullptr;
    TProcessListView* ProcessList = nullptr;
    QFrame* Panel2 = nullptr;
    QFrame* MessageHistoryPanel = nullptr;
    QFrame* HistoryBackPanel = nullptr;
    TMessageHistoryView* MessageHistory = nullptr;
    // Sections.
    QCommandLinkButton* SystemBtn = nullptr;
    QCommandLinkButton* HTTPConfigButton = nullptr;
    QCommandLinkButton* ConfigurationBtn = nullptr;
    QCommandLinkButton* ProductSetupBtn = nullptr;
    QCommandLinkButton* BackupBtn = nullptr;
    QFrame* ProductSetupPanel = nullptr;
    // The message bar.
    TMessageBar* MessagePanel = nullptr;
    QMenuBar* MainMenu1 = nullptr;
};

} // namespace cv
