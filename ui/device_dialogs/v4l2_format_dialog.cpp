#include "v4l2_format_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPoint>
#include <QSize>
#include <QVBoxLayout>

namespace orvane {

V4l2FormatDialog::V4l2FormatDialog(V4l2Camera &camera, QWidget *parent)
    : QDialog(parent)
    , camera_(camera)
    , formats_(new QComboBox(this))
    , sizes_(new QComboBox(this))
    , rates_(new QComboBox(this))
    , problem_(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Video Format - %1").arg(camera.name()));
    formats_->setObjectName(QStringLiteral("pixelFormat"));
    sizes_->setObjectName(QStringLiteral("frameSize"));
    rates_->setObjectName(QStringLiteral("frameRate"));
    problem_->setObjectName(QStringLiteral("problem"));
    problem_->setWordWrap(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Pixel format:"), formats_);
    form->addRow(QStringLiteral("Frame size:"), sizes_);
    form->addRow(QStringLiteral("Frame rate:"), rates_);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(problem_);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &V4l2FormatDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &V4l2FormatDialog::reject);

    const V4l2Mode now = camera_.mode();
    for (const V4l2PixelFormat &f : camera_.formats()) {
        QString text = QStringLiteral("%1 (%2)").arg(f.description, fourccText(f.fourcc));
        if (f.compressed)
            text += QStringLiteral(", compressed");
        formats_->addItem(text, f.fourcc);
    }
    formats_->setCurrentIndex(std::max(0, formats_->findData(now.fourcc)));
    fillSizes(now.width, now.height);
    fillRates(now.rate);

    connect(formats_, &QComboBox::currentIndexChanged, this, [this] {
        const V4l2Mode was = selectedMode();
        fillSizes(was.width, was.height);
        fillRates(was.rate);
    });
    connect(sizes_, &QComboBox::currentIndexChanged, this, [this] { fillRates(selectedMode().rate); });
}

const V4l2PixelFormat *V4l2FormatDialog::selectedFormat() const
{
    const uint32_t fourcc = formats_->currentData().toUInt();
    for (const V4l2PixelFormat &f : camera_.formats())
        if (f.fourcc == fourcc)
            return &f;
    return nullptr;
}

const V4l2FrameSize *V4l2FormatDialog::selectedSize() const
{
    const V4l2PixelFormat *f = selectedFormat();
    const QSize size = sizes_->currentData().toSize();
    if (!f)
        return nullptr;
    for (const V4l2FrameSize &s : f->sizes)
        if (int(s.width) == size.width() && int(s.height) == size.height())
            return &s;
    return nullptr;
}

// Lists the sizes of the chosen format, keeping width x height selected when it has it.
void V4l2FormatDialog::fillSizes(uint32_t width, uint32_t height)
{
    QSignalBlocker quiet(sizes_);
    sizes_->clear();
    const V4l2PixelFormat *f = selectedFormat();
    if (!f || f->sizes.empty()) {
        // The device lists no sizes: offer the one in use.
        const V4l2Mode now = camera_.mode();
        sizes_->addItem(QStringLiteral("%1 x %2").arg(now.width).arg(now.height), QSize(int(now.width), int(now.height)));
        return;
    }
    for (const V4l2FrameSize &s : f->sizes) {
        sizes_->addItem(QStringLiteral("%1 x %2").arg(s.width).arg(s.height), QSize(int(s.width), int(s.height)));
        if (s.width == width && s.height == height)
            sizes_->setCurrentIndex(sizes_->count() - 1);
    }
}

// Lists the rates of the chosen size, keeping `rate` selected when it has it.
void V4l2FormatDialog::fillRates(const V4l2FrameRate &rate)
{
    QSignalBlocker quiet(rates_);
    rates_->clear();
    const V4l2FrameSize *s = selectedSize();
    if (!s || s->rates.empty()) {
        rates_->addItem(QStringLiteral("the webcam's choice"), QPoint(0, 0));
        return;
    }
    for (const V4l2FrameRate &r : s->rates) {
        rates_->addItem(frameRateText(r), QPoint(int(r.numerator), int(r.denominator)));
        if (r.framesPerSecond() == rate.framesPerSecond())
            rates_->setCurrentIndex(rates_->count() - 1);
    }
}

// What the lists show; a list the device left empty keeps the mode in use.
V4l2Mode V4l2FormatDialog::selectedMode() const
{
    V4l2Mode mode = camera_.mode();
    if (const V4l2PixelFormat *f = selectedFormat())
        mode.fourcc = f->fourcc;
    const QSize size = sizes_->currentData().toSize();
    if (size.isValid()) {
        mode.width = uint32_t(size.width());
        mode.height = uint32_t(size.height());
    }
    const QPoint rate = rates_->currentData().toPoint();
    mode.rate = {uint32_t(rate.x()), uint32_t(rate.y())};
    return mode;
}

QString V4l2FormatDialog::problemText() const
{
    return problem_->text();
}

void V4l2FormatDialog::accept()
{
    const V4l2Mode wanted = selectedMode();
    if (wanted != camera_.mode()) {
        if (Result applied = camera_.applyMode(wanted); !applied) {
            problem_->setText(applied.error());
            return;
        }
    }
    QDialog::accept();
}

} // namespace orvane
