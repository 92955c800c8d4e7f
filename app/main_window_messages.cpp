// What the main window tells in its status line, kept for the night: Help >
// Messages... lists it whole, and the status line's tooltip holds the full sentence
// that its width may clip.

#include "main_window.h"

#include "messages_window.h"

#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

#include <iostream>

namespace orvane {

namespace {

// A click on the status line's sentence opens the list of them all.
class OpensOnClick : public QObject {
public:
    OpensOnClick(QObject *parent, std::function<void()> open) : QObject(parent), open_(std::move(open)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonRelease)
            open_();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> open_;
};

} // namespace

void MainWindow::buildMessages()
{
    auto *help = menuBar()->findChild<QMenu *>(QStringLiteral("Help"), Qt::FindDirectChildrenOnly);
    QAction *show = help->addAction(QStringLiteral("Messages..."), this, &MainWindow::showMessages);
    show->setObjectName(QStringLiteral("showMessages"));
    show->setToolTip(QStringLiteral("Every sentence told tonight, with its time, to read whole and copy"));
    statusBar()->setToolTip(QStringLiteral("Click to see every message of tonight"));
    connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString &sentence) {
        statusBar()->setToolTip(sentence.isEmpty() ? QStringLiteral("Click to see every message of tonight") : sentence);
    });
    statusBar()->installEventFilter(new OpensOnClick(statusBar(), [this] { showMessages(); }));
    messages_.added = [this](const NightMessages::Entry &entry) {
        if (messagesWindow_)
            messagesWindow_->append(entry);
    };
}

void MainWindow::told(const QString &sentence)
{
    messages_.add(parts_.clock.utcMs(parts_.clock.now()), sentence);
    statusBar()->showMessage(sentence);
}

MessagesWindow *MainWindow::messagesWindow()
{
    if (!messagesWindow_)
        messagesWindow_ = new MessagesWindow(messages_, this);
    return messagesWindow_;
}

void MainWindow::showMessages()
{
    MessagesWindow *window = messagesWindow();
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace orvane
