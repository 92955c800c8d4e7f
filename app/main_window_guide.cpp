// The "Guide" menu of the main window and the windows it opens.

#include "main_window.h"

#include "guide_graph_window.h"
#include "guiding_settings_dialog.h"
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
    guideMenu()->addAction(QStringLiteral("Guiding settings..."), this, [this] {
        if (!guidingSettings_) { // modeless: a running sequence and its Stop button stay within reach
            GuidingState &guiding = parts_.guiding;
            guidingSettings_ = new GuidingSettingsDialog(guiding.Options, parts_.iniPath, this);
            guidingSettings_->setAttribute(Qt::WA_DeleteOnClose);
            guidingSettings_->applied = [&guiding] { guiding.chooseAlgorithm(guiding.Options.algorithm); };
        }
        guidingSettings_->showSettings();
        guidingSettings_->show();
        guidingSettings_->raise();
    })->setObjectName(QStringLiteral("guidingSettings"));
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
