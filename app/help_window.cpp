#include "help_window.h"

#include <QDir>
#include <QFile>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace orvane {

QString helpPageHtml(const QString &configPath, const QString &iniPath)
{
    QFile file(QStringLiteral(":/orvane/orvane.htm"));
    QString html = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll())
                                                  : QStringLiteral("<p>The help page is missing from this build.</p>");
    const QString inUse = QStringLiteral("<p id=\"in-use\"><b>This run uses</b> <code>%1</code> and <code>%2</code>.</p>")
                              .arg(QDir::toNativeSeparators(configPath).toHtmlEscaped(),
                                   QDir::toNativeSeparators(iniPath).toHtmlEscaped());
    html.replace(QStringLiteral("<!--settings-in-use-->"), inUse);
    return html;
}

HelpWindow::HelpWindow(const QString &configPath, const QString &iniPath, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("helpWindow"));
    setWindowTitle(QStringLiteral("Orvane help"));
    page_ = new QTextBrowser(this);
    page_->setObjectName(QStringLiteral("helpPage"));
    page_->setOpenExternalLinks(true);
    page_->setHtml(helpPageHtml(configPath, iniPath));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(page_);
    resize(640, 560);
}

} // namespace orvane
