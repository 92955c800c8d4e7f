#pragma once
// Catches a window that runs an event loop of its own (QDialog::exec,
// QMessageBox::information). The tests' simulated pump never runs Qt's loop,
// so any pass of it while a watch lives is such a nested loop: the watch counts
// it and rejects the modal window, so the test fails instead of hanging.

#include <QApplication>
#include <QDialog>
#include <QTimer>

namespace orvane::test {

class NestedLoopWatch {
public:
    NestedLoopWatch()
    {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            ++nestedLoops_;
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                dialog->reject();
        });
        timer_.start();
    }
    int nestedLoops() const { return nestedLoops_; }

private:
    QTimer timer_;
    int nestedLoops_ = 0;
};

// The visible dialogs of type D below `parent`, newest last.
template <typename D>
QList<D *> openDialogs(QObject *parent)
{
    QList<D *> open;
    for (D *d : parent->findChildren<D *>())
        if (d->isVisible())
            open.append(d);
    return open;
}

} // namespace orvane::test
