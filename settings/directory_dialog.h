#pragma once
// The save-directory window (Form3): a list of mounted volumes (Drive1) and a
// directory list (Dir1) whose path is the directory opened in it. OK gives
// SaveDir the folder the window shows it will take: the highlighted entry, else
// the opened directory, or a path typed below the list. A new folder can be made
// in the opened directory. Cancel, Escape and the frame change nothing. A
// directory frames cannot be saved in is flagged in the window before OK. The
// window deletes itself when closed; each new one starts at the process's
// working directory.

#include "result.h"

#include <QListWidget>
#include <QString>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orvane {

// The subdirectories of the opened directory, ".." first (except at "/"). A
// double-click or Enter opens an entry; a single click only highlights it.
class DirectoryList : public QListWidget {
    Q_OBJECT
public:
    explicit DirectoryList(QWidget *parent = nullptr);

    // The opened directory: absolute, no trailing separator except for "/".
    QString path() const { return path_; }
    // Opens a directory; the sentence says why it cannot be opened.
    Result setPath(const QString &path);
    // Lists the opened directory again (subdirectories made or removed since).
    void refresh();
    // Opens the entry at `row` as a double-click does.
    Result openRow(int row);

signals:
    void pathChanged(const QString &path);
    void openFailed(const QString &sentence);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QString path_;
};

class DirectoryDialog : public QWidget {
    Q_OBJECT
public:
    // `saveDir` is the process's SaveDir; only OK writes it.
    explicit DirectoryDialog(QString &saveDir, QWidget *parent = nullptr);

    // The path of Dir1.
    QString currentPath() const;
    // The folder OK takes: a typed path, else the highlighted entry, else the
    // opened directory; absolute.
    QString chosenPath() const;

    // OK: SaveDir takes the chosen folder and the window closes; a folder that
    // does not exist or is not a directory is refused, naming it, and the window stays.
    void Command1Click();
    // Makes the folder `name` in the opened directory and highlights it. The
    // sentence names the folder and why it could not be made.
    Result makeFolder(const QString &name);
    // "New folder": asks for the name in a window-modal box, then makeFolder.
    void askNewFolderName();
    // Drive1 changed: open the chosen volume's root.
    void Drive1Change();

    // Why frames cannot be saved in `dir`, as a sentence, or empty when they can.
    // The kernel is asked (access), so no file is ever made there to find out.
    static QString saveDirectoryProblem(const QString &dir);

signals:
    // OK took `folder` as SaveDir.
    void saveFolderChosen(const QString &folder);

public:
    QComboBox *Drive1 = nullptr;
    DirectoryList *Dir1 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *cancelButton = nullptr;
    QPushButton *newFolderButton = nullptr;
    QLabel *pathLabel = nullptr;    // the folder OK takes, above the list
    QLineEdit *pathEdit = nullptr;  // a folder typed by the user; Enter takes it
    QLabel *problemLabel = nullptr; // shown when frames cannot be saved there

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void pathOpened(const QString &path);
    void choiceChanged();
    void showProblem(const QString &sentence);
    void selectDriveOf(const QString &path);

    QString &saveDir_;
};

} // namespace orvane
