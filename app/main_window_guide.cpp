// The "Guide" menu of the main window and the windows it opens.

#include "main_window.h"

#include "guide_graph_window.h"
#include "rehearsal_window.h"

#include <QMenu>

namespace orvane {

QMenu *MainWindow::guideMenu()
{
    return menuBeforeHelp(QStringLiteral("Guide"));
}

void MainWindow::addGuideCommands()
{
    guideMenu()->addAction(QStringLiteral("Guide graph"), this, [this] {
        guideGraphWindow()->show();
        guideGraphWindow()->raise();
    })->setObjectName(QStringLiteral("showGuideGraph"));
    QAction *rehearse = guideMenu()->addAction(QStringLiteral("Rehearse\u2026"), this, [this] {
        rehearsalWindow()->show();
        rehearsalWindow()->raise();
    });
    rehearse->setObjectName(QStringLiteral("showRehearsal"));
    rehearse->setToolTip(QStringLiteral("Run tonight's plan on the simulated rig, fast, and see how it would go"));
}

RehearsalWindow *MainWindow::rehearsalWindow()
{
    if (!rehearsal_)
        rehearsal_ = new RehearsalWindow(*this, this);
    return rehearsal_;
}

GuideGraphWindow *MainWindow::guideGraphWindow()
{
    if (!guideGraph_)
        guideGraph_ = new GuideGraphWindow(*sequence_, this);
    return guideGraph_;
}

} // namespace orvane
