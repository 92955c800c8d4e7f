#pragma once
// The status bar's note of where frames go: "Saving to /home/x/Pictures", and
// after each save "Saved Image012.bmp in /home/x/Pictures". A long folder is cut
// in the middle; the tooltip holds the whole path. It follows the save folder
// (SaveDir) whenever the save-folder window closes.

#include <QLabel>

namespace orvane {

class SaveFolderLabel : public QLabel {
public:
    // `saveDir` is the process's SaveDir; it outlives the label.
    SaveFolderLabel(const QString &saveDir, QWidget *parent);

    // Shows the folder frames go to now.
    void refresh();
    // Shows the file just saved and its folder.
    void showSaved(const QString &path);
    // Refreshes whenever `folderWindow` hides or goes away.
    void follow(QWidget *folderWindow);

    // The widest the label grows, in pixels.
    static constexpr int kMaxWidthPx = 420;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void display(const QString &prefix, const QString &folder, const QString &tooltip);

    const QString &saveDir_;
};

} // namespace orvane
