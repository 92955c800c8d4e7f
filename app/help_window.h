#pragma once
// The help window: the built-in help page, with the settings files this run
// uses. Modeless, so a running sequence goes on while it is open.

#include <QWidget>

class QTextBrowser;

namespace orvane {

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    HelpWindow(const QString &configPath, const QString &iniPath, QWidget *parent = nullptr);

    QTextBrowser *page() const { return page_; }

private:
    QTextBrowser *page_ = nullptr;
};

// The help page as shipped, with a paragraph naming the files in use.
QString helpPageHtml(const QString &configPath, const QString &iniPath);

} // namespace orvane
