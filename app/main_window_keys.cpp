// The main window from the keyboard and for screen readers. The captions stay
// as they are: a menu title only gains its mnemonic's "&", which is not shown.

#include "main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>

namespace orvane {

void MainWindow::setUpKeyboardAndNames()
{
    // Menu and item titles by object name, with their mnemonic letters.
    const std::pair<const char *, const char *> titles[] = {
        {"File", "&File"},       {"Load", "&Load"},         {"Save", "&Save"},       {"Exit", "E&xit"},
        {"Camera", "&Camera"},   {"Device", "&Device"},     {"Format", "&Format"},   {"Source", "&Source"},
        {"Compression", "&Compression"}, {"Options", "&Options"}, {"deinterlace", "&Deinterlace"},
        {"About", "&About"},     {"Imaging", "&Imaging"},   {"showPictureDisplay", "&Picture display"},
        {"Guide", "&Guide"},     {"showGuideGraph", "Guide &graph"}, {"Help", "&Help"},
    };
    for (const auto &[name, title] : titles) {
        if (auto *menu = menuBar()->findChild<QMenu *>(QLatin1String(name)))
            menu->setTitle(QLatin1String(title));
        else if (auto *action = findChild<QAction *>(QLatin1String(name)))
            action->setText(QLatin1String(title));
    }
    if (auto *load = findChild<QAction *>(QStringLiteral("Load")))
        load->setShortcut(QKeySequence::Open);
    if (auto *save = findChild<QAction *>(QStringLiteral("Save")))
        save->setShortcut(QKeySequence::Save);

    // Status, dx and dy are the program's to write: not typed into, skipped by Tab.
    for (QLineEdit *display : {text6_, text7_, text8_}) {
        display->setReadOnly(true);
        display->setFocusPolicy(Qt::NoFocus);
    }

    // The caption beside each control, spelled out where the caption is terse.
    // Start/Stop is named by its caption, which changes.
    const std::pair<QWidget *, const char *> names[] = {
        {text1_, "Exposure sec"},         {text5_, "Number of exposures"},
        {text6_, "Status"},               {progressBar1_, "Exposure progress"},
        {text4_, "Guide sec"},            {check2_, "Guide"},              {text7_, "Drift dx, pixels"},
        {text8_, "Drift dy, pixels"},     {check3_, "2x1 Bin"},            {picture1_, "Picture"},
        {command2_, "Save folder"},       {text2_, "File Name"},           {text3_, "Index"},
        {check1_, "Save"},
    };
    for (const auto &[widget, name] : names)
        widget->setAccessibleName(QLatin1String(name));
    command2_->setToolTip(QStringLiteral("Choose the folder frames are saved in."));
}

} // namespace orvane
