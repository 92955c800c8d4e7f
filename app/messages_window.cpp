#include "messages_window.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace orvane {

MessagesWindow::MessagesWindow(const NightMessages &messages, QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("messagesWindow"));
    setWindowTitle(QStringLiteral("Messages"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("messages"));
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setWordWrap(true);
    auto *copy = new QPushButton(QStringLiteral("&Copy"), this);
    copy->setObjectName(QStringLiteral("copyMessages"));
    copy->setToolTip(QStringLiteral("Copies the selected lines, or all of them when none is selected"));
    auto *close = new QPushButton(QStringLiteral("C&lose"), this);
    close->setObjectName(QStringLiteral("closeMessages"));
    connect(copy, &QPushButton::clicked, this, &MessagesWindow::copyLines);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(copy);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    resize(640, 360);

    for (const NightMessages::Entry &entry : messages.entries())
        list_->addItem(NightMessages::lineOf(entry));
    list_->scrollToBottom();
}

void MessagesWindow::append(const NightMessages::Entry &entry)
{
    QScrollBar *bar = list_->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    list_->addItem(NightMessages::lineOf(entry));
    while (list_->count() > int(NightMessages::kKept))
        delete list_->takeItem(0);
    if (atEnd)
        list_->scrollToBottom();
}

void MessagesWindow::copyLines()
{
    QStringList lines;
    const QList<QListWidgetItem *> selected = list_->selectedItems();
    if (!selected.isEmpty()) {
        for (int row = 0; row < list_->count(); ++row) // in the list's order, not the order of clicking
            if (list_->item(row)->isSelected())
                lines << list_->item(row)->text();
    } else {
        for (int row = 0; row < list_->count(); ++row)
            lines << list_->item(row)->text();
    }
    QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

} // namespace orvane
