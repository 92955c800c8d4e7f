// The "Guide" menu of the main window and the windows it opens.

#include "main_window.h"

#include "guide_graph_window.h"

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
}

GuideGraphWindow *MainWindow::guideGraphWindow()
{
    if (!guideGraph_)
        guideGraph_ = new GuideGraphWindow(*sequence_, this);
    return guideGraph_;
}

} // namespace orvane
