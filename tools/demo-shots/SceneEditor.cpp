// The script editor on the sample start-up program: the search bar open on a quoted name with
// its occurrences marked, the caret on a BLOCK with its BLOCK_END marked, and the THEN that
// ends a line (the program's one slip) squiggled as an error.
#include "DemoShots.h"

#include "shell/LumoEditorHost.h"

#include <QLineEdit>
#include <QToolButton>

CV_DEMO_SCENE("editor", 1500) {
    // The editor alone: an event the simulated system wrote meanwhile is closed.
    if (cvdemo::Find(form, "MessagePanel")->isVisible())
        cvdemo::Find<QToolButton>(form, "CloseMessageButton")->click();
    form.OverviewLabelLinkClick("EditKernelSetup");
    cv::TLumoEditorHost* host = form.EditorHost();
    cv::TDScintilla& editor = *host->DScintilla1;
    // The BLOCK right after the slip, a few lines from the top.
    const cv::TSciRange block =
        editor.FindText(cv::SciFindMatchCase, 0, editor.GetLength(), "#THEN\r\n#BLOCK");
    if (block.Start >= 0)
        editor.GotoPos(block.End - 3);
    cvdemo::Wait(300); // the display update marks the block and the statement
    host->SciSearchFrame1->SearchField->setText(QStringLiteral("'SYS'"));
    host->Find1Click(); // the bar shows and marks every occurrence
}
