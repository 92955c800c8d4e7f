#pragma once
// The file dialog seen from the picture tools: one chosen name, or a list of
// chosen files. The dialog runs no event loop of its own: the choice comes
// back through a callback once the user closes it, so a running sequence keeps
// its schedule while it stands open. Tests put a scripted chooser in its place.

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace orvane {

class FileChooser {
public:
    using ChosenFile = std::function<void(const QString &path)>;
    using ChosenFiles = std::function<void(const QStringList &paths)>;

    virtual ~FileChooser() = default;
    // An open-file dialog in which a name that does not exist yet may also be
    // typed (File > Save uses it too). `filter` is in Qt's form, e.g.
    // "pictures (*.bmp *.fits *.fit *.fts)"; the dialog opens on `initialName` when it is not empty.
    // `chosen` gets the full path chosen, or an empty text when cancelled; it is
    // not called when `parent` goes away first.
    virtual void chooseOpenFile(QWidget *parent, const QString &filter, const QString &initialName,
                                ChosenFile chosen) = 0;
    // A save dialog, titled and labelled for saving, otherwise as chooseOpenFile.
    // It does not ask about replacing a file: the caller does, without blocking.
    virtual void chooseSaveFile(QWidget *parent, const QString &filter, const QString &initialName,
                                ChosenFile chosen) = 0;
    // One or several existing files; each comes as its full path, spaces and
    // all. Empty when cancelled.
    virtual void chooseOpenFiles(QWidget *parent, const QString &filter, ChosenFiles chosen) = 0;
};

// Qt's own (non-native) file dialog, which also works without a desktop.
class QtFileChooser : public FileChooser {
public:
    void chooseOpenFile(QWidget *parent, const QString &filter, const QString &initialName,
                        ChosenFile chosen) override;
    void chooseSaveFile(QWidget *parent, const QString &filter, const QString &initialName,
                        ChosenFile chosen) override;
    void chooseOpenFiles(QWidget *parent, const QString &filter, ChosenFiles chosen) override;
};

} // namespace orvane
