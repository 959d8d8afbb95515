// The Web Server Configuration section open, filled from the registry at the first show with
// the default certificate it made for this computer; the summary column's link shows how long
// that certificate is valid.
#include "DemoShots.h"

#include <QCommandLinkButton>
#include <QScrollArea>
#include <QToolButton>

CV_DEMO_SCENE("web", 1000) {
    // The section alone: an event the simulated system wrote meanwhile is closed.
    if (cvdemo::Find(form, "MessagePanel")->isVisible())
        cvdemo::Find<QToolButton>(form, "CloseMessageButton")->click();
    // Only this section open, scrolled into view.
    auto* system = cvdemo::Find<QCommandLinkButton>(form, "SystemBtn");
    if (system->property("Tag").toInt() == 1)
        system->click();
    auto* button = cvdemo::Find<QCommandLinkButton>(form, "HTTPConfigButton");
    if (button->property("Tag").toInt() == 0)
        button->click();
    cvdemo::Wait(100);
    cvdemo::Find<QScrollArea>(form, "AdditionalToolsPanel")
        ->ensureWidgetVisible(cvdemo::Find(form, "HTTPConfigInfoPanel"));
}
