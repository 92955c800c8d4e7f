#pragma once
// Help > Messages...: every sentence the window told tonight, with its time, to read
// whole and copy (all of them, or the ones selected). Modeless; it follows new ones.

#include "night_messages.h"

#include <QWidget>

class QListWidget;

namespace orvane {

class MessagesWindow : public QWidget {
    Q_OBJECT
public:
    MessagesWindow(const NightMessages &messages, QWidget *parent = nullptr);

    // Adds one line at the end, keeping the view at the end when it was there.
    void append(const NightMessages::Entry &entry);
    // The selected lines, or every line when none is selected, onto the clipboard.
    void copyLines();

private:
    QListWidget *list_ = nullptr;
};

} // namespace orvane
