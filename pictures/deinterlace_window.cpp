#include "deinterlace_window.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPalette>
#include <QPushButton>
#include <QShowEvent>

namespace orvane {

namespace {

// A soft pastel wash behind the controls.
QBrush pastelBackground()
{
    QLinearGradient gradient(0, 0, 312, 213);
    gradient.setColorAt(0.0, QColor(0xF6, 0xE3, 0xEE));
    gradient.setColorAt(0.5, QColor(0xE3, 0xEE, 0xF8));
    gradient.setColorAt(1.0, QColor(0xE6, 0xF5, 0xE4));
    return QBrush(gradient);
}

} // namespace

DeinterlaceWindow::DeinterlaceWindow(PictureArea &area, EventPump &pump, FileChooser &chooser, QWidget *parent,
                                     MessageFunction message)
    : QWidget(parent, Qt::Window), area_(area), pump_(pump), chooser_(chooser), message_(std::move(message))
{
    setObjectName(QStringLiteral("hello"));
    setWindowTitle(QStringLiteral("Deinterlace Utility"));
    setFixedSize(312, 213); // pixels, the client area

    QPalette palette = this->palette();
    palette.setBrush(QPalette::Window, pastelBackground());
    setPalette(palette);
    setAutoFillBackground(true);

    command1_ = new QPushButton(QStringLiteral("Deinterlace"), this);
    command1_->setObjectName(QStringLiteral("Command1"));
    command1_->setGeometry(24, 128, 97, 41);

    text1_ = new QLineEdit(QStringLiteral("Ready"), this);
    text1_->setObjectName(QStringLiteral("text1"));
    text1_->setGeometry(56, 64, 201, 33);
    text1_->setAccessibleName(QStringLiteral("Status"));

    command2_ = new QPushButton(QStringLiteral("Exit"), this);
    command2_->setObjectName(QStringLiteral("Command2"));
    command2_->setGeometry(184, 128, 97, 41);

    setTabOrder(command1_, text1_);
    setTabOrder(text1_, command2_);

    connect(command1_, &QPushButton::clicked, this, &DeinterlaceWindow::deinterlace);
    connect(command2_, &QPushButton::clicked, this, &QWidget::close);
    connect(&area_, &PictureArea::reservationChanged, this, &DeinterlaceWindow::updateButton);
    updateButton();
}

QString DeinterlaceWindow::status() const
{
    return text1_->text();
}

void DeinterlaceWindow::setStatus(const QString &text)
{
    text1_->setText(text);
}

void DeinterlaceWindow::updateButton()
{
    const QString user = areaUser(area_);
    command1_->setEnabled(user.isEmpty());
    command1_->setToolTip(user.isEmpty() ? QString()
                                         : QStringLiteral("Not available while the picture area is in use by %1.").arg(user));
}

void DeinterlaceWindow::deinterlace()
{
    const QString user = running_ ? DeinterlaceBatch::kHolder : areaUser(area_);
    if (!user.isEmpty()) {
        message_(this, QStringLiteral("No new batch can start now: the picture area is in use by %1.").arg(user));
        return;
    }
    running_ = true; // from the dialog on: one batch at a time
    chooser_.chooseOpenFiles(this, kFilter, [this](const QStringList &chosen) {
        DeinterlaceBatch batch(area_, pump_, [this](const QString &text) { setStatus(text); });
        const Result result = batch.run(selectionFromDialog(chosen));
        running_ = false;
        if (!result)
            message_(this, result.error());
    });
}

void DeinterlaceWindow::showEvent(QShowEvent *event)
{
    if (!event->spontaneous() && closed_ && !running_) {
        closed_ = false;
        setStatus(QStringLiteral("Ready"));
    }
    QWidget::showEvent(event);
}

void DeinterlaceWindow::closeEvent(QCloseEvent *event)
{
    // A batch under way runs to its end; the window only goes out of sight.
    closed_ = true;
    QWidget::closeEvent(event);
}

} // namespace orvane
