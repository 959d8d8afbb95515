// The Product Setup section open on the sample installation's tasks, one task hovered so the
// details box shows its dependencies.
#include "DemoShots.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QCommandLinkButton>
#include <QCursor>
#include <QEnterEvent>
#include <QScrollArea>

CV_DEMO_SCENE("product-setup", 1500) {
    // Shown when the layout's "ProductSetup" is set; the demo's settings set it.
    cvdemo::Find(form, "ProductSetupPanel")->show();
    // Only this section open, scrolled into view.
    auto* system = cvdemo::Find<QCommandLinkButton>(form, "SystemBtn");
    if (system->property("Tag").toInt() == 1)
        system->click();
    auto* button = cvdemo::Find<QCommandLinkButton>(form, "ProductSetupBtn");
    if (button->property("Tag").toInt() == 0)
        button->click();
    cvdemo::Wait(100);
    cvdemo::Find<QScrollArea>(form, "AdditionalToolsPanel")
        ->ensureWidgetVisible(cvdemo::Find(form, "ProductSetupInfoPanel"));
    for (QCheckBox* box : cvdemo::Find(form, "ProductComponentsContent")->findChildren<QCheckBox*>()) {
        if (!box->text().startsWith(QLatin1String("ReportGenerator (")))
            continue;
        cvdemo::Find<QScrollArea>(form, "ProductComponentsScrollBox")->ensureWidgetVisible(box);
        cvdemo::Wait(50);
        const QPoint at(24, box->height() / 2);
        QCursor::setPos(box->mapToGlobal(at)); // the pointer where a person would hold it
        cvdemo::Wait(200);
        if (!box->underMouse()) { // no pointer to move (a screen without input)
            QEnterEvent enter(QPointF(at), QPointF(box->mapTo(box->window(), at)),
                              QPointF(box->mapToGlobal(at)));
            QCoreApplication::sendEvent(box, &enter);
        }
        break;
    }
}
