#include "optics_window.h"

#include "file_rewrite.h"
#include "ini_lines.h"
#include "message_box.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace orvane {

namespace {

struct Box {
    const char *name, *caption;
    std::optional<double> Optics::*figure;
};
constexpr Box kBoxes[] = {
    {"guideFocalLengthMm", "Guide focal length (mm)", &Optics::guideFocalLengthMm},
    {"guidePixelUm", "Guide pixel size (\u00b5m)", &Optics::guidePixelUm},
    {"imagingFocalLengthMm", "Imaging focal length (mm)", &Optics::imagingFocalLengthMm},
    {"imagingPixelUm", "Imaging pixel size (\u00b5m)", &Optics::imagingPixelUm},
};

QString arcsec(double v) { return QStringLiteral("%1\u2033").arg(v, 0, 'f', 2); }

} // namespace

QString opticsScalesText(const Optics &o)
{
    const std::optional<double> guide = guideScale(o);
    const std::optional<FrameScale> doubled = imagingScale(o, 1, true);
    QStringList lines;
    lines << (guide ? QStringLiteral("Guide camera: %1 per pixel").arg(arcsec(*guide))
                    : QStringLiteral("Guide camera: scale unknown (guide errors in pixels only)"));
    lines << (doubled ? QStringLiteral("Imaging camera: %1 per pixel; with 2x1 Bin a doubled pair of rows spans %2")
                            .arg(arcsec(doubled->xArcsecPerPx), arcsec(doubled->pairArcsec))
                      : QStringLiteral("Imaging camera: scale unknown"));
    return lines.join(u'\n');
}

OpticsWindow::OpticsWindow(Optics &optics, QString iniPath, QWidget *parent)
    : QWidget(parent, Qt::Window), optics_(optics), iniPath_(std::move(iniPath))
{
    setObjectName(QStringLiteral("optics"));
    setWindowTitle(QStringLiteral("Optics"));
    showMessage = [this](const QString &text) { openMessageBox(this, QMessageBox::Warning, text); };

    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    for (int i = 0; i < 4; ++i) {
        boxes_[i] = new QLineEdit(this);
        boxes_[i]->setObjectName(QLatin1String(kBoxes[i].name));
        boxes_[i]->setPlaceholderText(QStringLiteral("unknown"));
        form->addRow(QString::fromUtf8(kBoxes[i].caption), boxes_[i]);
    }
    layout->addLayout(form);
    scales_ = new QLabel(this);
    scales_->setObjectName(QStringLiteral("scales"));
    layout->addWidget(scales_);
    auto *applyButton = new QPushButton(QStringLiteral("Apply"), this);
    applyButton->setObjectName(QStringLiteral("apply"));
    connect(applyButton, &QPushButton::clicked, this, [this] { apply(); });
    layout->addWidget(applyButton);
    showOptics();
}

void OpticsWindow::showOptics()
{
    for (int i = 0; i < 4; ++i) {
        const std::optional<double> v = optics_.*kBoxes[i].figure;
        boxes_[i]->setText(v ? QString::number(*v, 'g', 10) : QString());
    }
    showScales();
}

void OpticsWindow::showScales() { scales_->setText(opticsScalesText(optics_)); }

bool OpticsWindow::apply()
{
    Optics read;
    for (int i = 0; i < 4; ++i) {
        const QString text = boxes_[i]->text().trimmed();
        if (text.isEmpty())
            continue;
        bool ok = false;
        const double v = text.toDouble(&ok);
        if (!ok || !std::isfinite(v) || v <= 0) {
            showMessage(QStringLiteral("%1: \"%2\" is not a number above 0. Nothing was changed.")
                            .arg(QString::fromUtf8(kBoxes[i].caption), text));
            return false;
        }
        read.*kBoxes[i].figure = v;
    }
    optics_ = read;
    showScales();
    const IniFileText file = readIniFile(iniPath_);
    Result written = file.cause.isEmpty() ? writeWholeFile(iniPath_, withOptics(file.text, optics_))
                                          : Result::failure(file.cause);
    if (!written)
        showMessage(QStringLiteral("The optics were not stored in %1: %2. They are used until the program ends.")
                        .arg(iniPath_, written.error()));
    return true;
}

} // namespace orvane
