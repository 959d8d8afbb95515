// The program entry: one service command from the command line, or the interactive window.
#include "app/CheckPrevious.h"
#include "app/CommandLine.h"
#include "app/QuickCommand.h"
#include "shell/ControlPanelUI.h"
#include "shell/ErrorDisplay.h"
#include "shell/QtHandOver.h"

#include <QMessageBox>

#include <cstdio>

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
            return 1;
        if (code != cv::cmdNone) {
            // No window and no box: a script learns the outcome from the exit status, a person
            // from the line on standard error (where the process has one) or the debug output.
            cv::TQuickCommand command(code, platform.Services, [&](const std::string& line) {
                std::fprintf(stderr, "%s\n", line.c_str());
                if (platform.System)
                    platform.System->DebugOutput(line);
            });
            return command.ExitStatus();
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
