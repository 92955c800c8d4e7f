// The "Guide" menu of the main window and the windows it opens.

#include "main_window.h"

#include "guide_graph_window.h"

#include <QMenu>
#include <QMenuBar>

namespace orvane {

QMenu *MainWindow::guideMenu()
{
    QMenuBar *bar = menuBar();
    if (auto *menu = bar->findChild<QMenu *>(QStringLiteral("Guide"), Qt::FindDirectChildrenOnly))
        return menu;
    auto *menu = new QMenu(QStringLiteral("Guide"), bar);
    menu->setObjectName(QStringLiteral("Guide"));
    const auto *help = bar->findChild<QMenu *>(QStringLiteral("Help"), Qt::FindDirectChildrenOnly);
    bar->insertMenu(help ? help->menuAction() : nullptr, menu);
    return menu;
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
