#pragma once
// Message boxes titled "Orvane" that run no event loop of their own: each opens
// window-modal over its parent and returns at once; the answer comes later
// through a callback. A running sequence, whose waits pump the program's own
// events, therefore keeps its schedule while a box stands open.

#include <QMessageBox>
#include <QString>

#include <functional>

namespace orvane {

// Called once when the box closes, with the button pressed (the escape button
// when the box was closed by its frame or Esc).
using MessageBoxAnswer = std::function<void(QMessageBox::StandardButton)>;

// Opens the box and returns it; it deletes itself when closed.
QMessageBox *openMessageBox(QWidget *parent, QMessageBox::Icon icon, const QString &text,
                            QMessageBox::StandardButtons buttons = QMessageBox::Ok, MessageBoxAnswer answered = {});

// Opens a dialog window-modal over its parent without a nested event loop; the
// dialog deletes itself when closed.
void openDialog(QDialog *dialog);

} // namespace orvane
