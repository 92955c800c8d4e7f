#pragma once
// The file dialog seen from the picture tools: one chosen name, or a list of
// chosen files. Tests put a scripted chooser in its place.

#include <QString>
#include <QStringList>

class QWidget;

namespace orvane {

class FileChooser {
public:
    virtual ~FileChooser() = default;
    // An open-file dialog in which a name that does not exist yet may also be
    // typed (File > Save uses it too). `filter` is in Qt's form, e.g.
    // "pictures (*.bmp)"; the dialog opens on `initialName` when it is not empty.
    // Returns the full path chosen, or an empty text when cancelled.
    virtual QString chooseOpenFile(QWidget *parent, const QString &filter, const QString &initialName) = 0;
    // One or several existing files; each comes as its full path, spaces and
    // all. Empty when cancelled.
    virtual QStringList chooseOpenFiles(QWidget *parent, const QString &filter) = 0;
};

// Qt's own (non-native) file dialog, which also works without a desktop.
class QtFileChooser : public FileChooser {
public:
    QString chooseOpenFile(QWidget *parent, const QString &filter, const QString &initialName) override;
    QStringList chooseOpenFiles(QWidget *parent, const QString &filter) override;
};

} // namespace orvane
