#include "v4l2_compression_dialog.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cstdlib>

namespace orvane {

V4l2Mode modeForFormat(const std::vector<V4l2PixelFormat> &formats, const V4l2Mode &now, uint32_t fourcc)
{
    V4l2Mode mode = now;
    mode.fourcc = fourcc;
    const auto format = std::find_if(formats.begin(), formats.end(), [&](const V4l2PixelFormat &f) { return f.fourcc == fourcc; });
    if (format == formats.end() || format->sizes.empty())
        return mode; // nothing listed: ask for the same size, the device adjusts
    const int64_t pixelsNow = int64_t(now.width) * now.height;
    const V4l2FrameSize *best = &format->sizes.front();
    for (const V4l2FrameSize &s : format->sizes) {
        if (s.width == now.width && s.height == now.height) {
            best = &s;
            break;
        }
        if (std::llabs(int64_t(s.width) * s.height - pixelsNow) < std::llabs(int64_t(best->width) * best->height - pixelsNow))
            best = &s;
    }
    mode.width = best->width;
    mode.height = best->height;
    const bool rateListed = std::any_of(best->rates.begin(), best->rates.end(), [&](const V4l2FrameRate &r) {
        return r.framesPerSecond() == now.rate.framesPerSecond();
    });
    if (!rateListed)
        mode.rate = {};
    return mode;
}

QString V4l2CompressionDialog::hint()
{
    return QStringLiteral("Long exposures want an uncompressed format: compression smooths away "
                          "faint stars and the fine noise that stacking averages out.");
}

V4l2CompressionDialog::V4l2CompressionDialog(V4l2Camera &camera, QWidget *parent)
    : QDialog(parent)
    , camera_(camera)
    , choices_(new QButtonGroup(this))
    , problem_(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Video Compression - %1").arg(camera.name()));
    setMinimumWidth(360); // pixels: room for the hint on few lines
    auto *layout = new QVBoxLayout(this);
    auto *plain = new QGroupBox(QStringLiteral("Uncompressed"), this);
    auto *packed = new QGroupBox(QStringLiteral("Compressed"), this);
    auto *plainLayout = new QVBoxLayout(plain);
    auto *packedLayout = new QVBoxLayout(packed);
    for (const V4l2PixelFormat &f : camera_.formats()) {
        auto *button = new QRadioButton(QStringLiteral("%1 (%2)").arg(f.description, fourccText(f.fourcc)), this);
        button->setObjectName(QStringLiteral("format_") + fourccText(f.fourcc));
        button->setProperty("fourcc", f.fourcc);
        choices_->addButton(button);
        (f.compressed ? packedLayout : plainLayout)->addWidget(button);
    }
    if (plainLayout->isEmpty())
        plainLayout->addWidget(new QLabel(QStringLiteral("This webcam sends no uncompressed format."), this));
    if (packedLayout->isEmpty())
        packedLayout->addWidget(new QLabel(QStringLiteral("This webcam sends no compressed format."), this));
    auto *hintLabel = new QLabel(hint(), this);
    hintLabel->setObjectName(QStringLiteral("hint"));
    hintLabel->setWordWrap(true);
    problem_->setObjectName(QStringLiteral("problem"));
    problem_->setWordWrap(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(plain);
    layout->addWidget(packed);
    layout->addWidget(hintLabel);
    layout->addWidget(problem_);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &V4l2CompressionDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &V4l2CompressionDialog::reject);
    selectFourcc(camera_.mode().fourcc);
}

uint32_t V4l2CompressionDialog::selectedFourcc() const
{
    const QAbstractButton *ticked = choices_->checkedButton();
    return ticked ? ticked->property("fourcc").toUInt() : 0;
}

bool V4l2CompressionDialog::selectFourcc(uint32_t fourcc)
{
    for (QAbstractButton *b : choices_->buttons())
        if (b->property("fourcc").toUInt() == fourcc) {
            b->setChecked(true);
            return true;
        }
    return false;
}

QString V4l2CompressionDialog::problemText() const
{
    return problem_->text();
}

void V4l2CompressionDialog::accept()
{
    const uint32_t fourcc = selectedFourcc();
    if (fourcc != 0 && fourcc != camera_.mode().fourcc) {
        if (Result applied = camera_.applyMode(modeForFormat(camera_.formats(), camera_.mode(), fourcc)); !applied) {
            problem_->setText(applied.error());
            return;
        }
    }
    QDialog::accept();
}

} // namespace orvane
