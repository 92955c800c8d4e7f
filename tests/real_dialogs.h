#pragma once
// Drives Qt's own dialogs as a user does: keys typed into the name field,
// Return, Escape, double-clicks on the list and presses of the buttons, each
// sent through the application like the window system's events. Waits process
// events until Qt's file list has read the folder (it reads in a thread of its
// own); they end when the condition holds, bounded at a few seconds.

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace orvane::test {

inline bool waitUntil(const std::function<bool()> &condition)
{
    return QTest::qWaitFor(condition, 5000);
}

// The one visible file dialog open over `parent`, or null.
inline QFileDialog *openFileDialog(QObject *parent)
{
    for (QFileDialog *dialog : parent->findChildren<QFileDialog *>())
        if (dialog->isVisible())
            return dialog;
    return nullptr;
}

inline QLineEdit *nameField(QFileDialog *dialog)
{
    return dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
}

inline QPushButton *acceptButton(QFileDialog *dialog)
{
    auto *box = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    if (!box)
        return nullptr;
    QPushButton *open = box->button(QDialogButtonBox::Open);
    return open ? open : box->button(QDialogButtonBox::Save);
}

// Opens `folder` in the dialog and waits until its list shows `name`; the
// list's index of that entry (invalid when it never came).
inline QModelIndex showFolder(QFileDialog *dialog, const QString &folder, const QString &name)
{
    dialog->setDirectory(folder);
    auto *list = dialog->findChild<QListView *>(QStringLiteral("listView"));
    QModelIndex found;
    waitUntil([&] {
        if (!list || !list->model())
            return false;
        const QModelIndex root = list->rootIndex();
        for (int row = 0; row < list->model()->rowCount(root); ++row)
            if (const QModelIndex i = list->model()->index(row, 0, root); i.data().toString() == name)
                return (found = i).isValid();
        return false;
    });
    return found;
}

inline void doubleClickEntry(QFileDialog *dialog, const QModelIndex &entry)
{
    auto *list = dialog->findChild<QListView *>(QStringLiteral("listView"));
    list->scrollTo(entry);
    const QPoint at = list->visualRect(entry).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

// Types `text` into the name field as keys, then presses `key` there (none: Key_unknown).
// The field is given the keyboard focus first, as a user's click would: Qt
// lets a typed name replace the entry selected in the list only then.
inline void typeAndPress(QFileDialog *dialog, const QString &text, Qt::Key key)
{
    QLineEdit *field = nameField(dialog);
    dialog->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(dialog, 2000));
    field->setFocus();
    EXPECT_TRUE(field->hasFocus());
    field->selectAll();
    QTest::keyClicks(field, text);
    if (key != Qt::Key_unknown)
        QTest::keyClick(field, key);
}

} // namespace orvane::test
