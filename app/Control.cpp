// The program entry: one service command from the command line, or the interactive window.
#include "app/CheckPrevious.h"
#include "app/CommandLine.h"
#include "app/QuickCommand.h"
#include "shell/ControlPanelUI.h"
#include "shell/ErrorDisplay.h"
#include "shell/QtHandOver.h"

#include <QMessageBox>

int main(int argc, char** argv) {
    cv::TVornixApplication app(argc, argv);
    cv::TVornixApplication::setApplicationDisplayName(QStringLiteral("Vornix Control Panel"));
    cv::InstallQtMainThreadWaker();

    std::vector<std::string> args(argv, argv + argc);
    const uint8_t code = cv::ScanCommandLine(args);
    cv::TPlatform platform = cv::CreatePlatform();

    // The check runs at exit after the window is gone, as the unit's finalisation would.
    cv::TCheckPrevious previous(platform.Instances, platform.Windows, args.empty() ? "" : args[0]);
    int result = 0;
    {
        cv::TForm1 form(platform);
        if (!form.CanRunAsAdmin())
            return 0;
        if (code != cv::cmdNone) {
            cv::TQuickCommand command(code, platform.Services);
            return 0; // silent whatever the service did
        }
        try {
            if (previous.CheckPreviousInstance(form.InstanceHandle(), 1))
                return 0;
        } catch (const std::exception& e) {
            QMessageBox::critical(nullptr, QStringLiteral("Vornix Control Panel"),
                                  QString::fromUtf8(e.what()));
            return 1;
        }
        form.show();
        result = app.exec();
    }
    previous.Finalize();
    cv::RemoveQtMainThreadWaker();
    return result;
}
