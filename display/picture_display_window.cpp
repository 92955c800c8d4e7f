#include "picture_display_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace orvane {

namespace {

constexpr int kZooms[] = {kZoomFit, 1, 2, 4}; // in the order of the zoom list

QSpinBox *levelBox(QWidget *parent, const char *name, const QString &tip)
{
    auto *box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(0, 255);
    box->setToolTip(tip);
    return box;
}

} // namespace

PictureDisplayWindow::PictureDisplayWindow(PictureDisplay &display, QWidget *parent)
    : QWidget(parent, Qt::Window), display_(display)
{
    setObjectName(QStringLiteral("pictureDisplay"));
    setWindowTitle(QStringLiteral("Picture display"));

    autoStretch_ = new QCheckBox(QStringLiteral("Auto stretch"), this);
    autoStretch_->setObjectName(QStringLiteral("autoStretch"));
    autoStretch_->setToolTip(QStringLiteral(
        "Black at the sky background, white near the brightest stars, worked out again for every frame. "
        "Saved frames keep the camera's own levels."));
    blackPoint_ = levelBox(this, "blackPoint", QStringLiteral("Level 0..255 and below that is painted black"));
    whitePoint_ = levelBox(this, "whitePoint", QStringLiteral("Level 0..255 and above that is painted white"));
    channels_ = new QComboBox(this);
    channels_->setObjectName(QStringLiteral("histogramChannels"));
    channels_->addItems({QStringLiteral("Luminance"), QStringLiteral("Red, green, blue")});
    histogram_ = new HistogramView(display_, this);
    histogram_->setObjectName(QStringLiteral("histogram"));
    zoom_ = new QComboBox(this);
    zoom_->setObjectName(QStringLiteral("zoom"));
    zoom_->addItems({QStringLiteral("Fit"), QStringLiteral("1:1"), QStringLiteral("2:1"), QStringLiteral("4:1")});
    zoom_->setToolTip(QStringLiteral("Closer views centre on the marked guide star, or on the middle of the picture"));
    zoomView_ = new ZoomView(display_, this);
    zoomView_->setObjectName(QStringLiteral("zoomView"));

    auto *points = new QHBoxLayout;
    points->addWidget(autoStretch_);
    points->addStretch();
    points->addWidget(new QLabel(QStringLiteral("Black point"), this));
    points->addWidget(blackPoint_);
    points->addWidget(new QLabel(QStringLiteral("White point"), this));
    points->addWidget(whitePoint_);
    auto *choices = new QFormLayout;
    choices->addRow(QStringLiteral("Histogram"), channels_);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(points);
    layout->addLayout(choices);
    layout->addWidget(histogram_);
    auto *zoomRow = new QFormLayout;
    zoomRow->addRow(QStringLiteral("Zoom"), zoom_);
    layout->addLayout(zoomRow);
    layout->addWidget(zoomView_, 1);

    connect(autoStretch_, &QCheckBox::toggled, this, [this](bool on) { display_.setAutoStretch(on); });
    connect(blackPoint_, &QSpinBox::valueChanged, this, [this](int black) {
        display_.setManualPoints({black, std::max(whitePoint_->value(), black + 1)});
    });
    connect(whitePoint_, &QSpinBox::valueChanged, this, [this](int white) {
        display_.setManualPoints({std::min(blackPoint_->value(), white - 1), white});
    });
    connect(channels_, &QComboBox::currentIndexChanged, this, [this](int index) {
        histogram_->setChannels(index == 0 ? HistogramView::Channels::Luminance : HistogramView::Channels::RedGreenBlue);
    });
    connect(zoom_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            display_.setZoom(kZooms[index]);
    });
    connect(&display_, &PictureDisplay::changed, this, &PictureDisplayWindow::showSettings);
    showSettings();
}

void PictureDisplayWindow::showSettings()
{
    const DisplaySettings &s = display_.settings();
    const StretchPoints points = display_.points();
    const QSignalBlocker a(autoStretch_), b(blackPoint_), w(whitePoint_), z(zoom_);
    autoStretch_->setChecked(s.autoStretch);
    // With Auto the boxes show the points it chose; they are the user's to set without it.
    blackPoint_->setEnabled(!s.autoStretch);
    whitePoint_->setEnabled(!s.autoStretch);
    blackPoint_->setValue(points.black);
    whitePoint_->setValue(points.white);
    zoom_->setCurrentIndex(int(std::find(std::begin(kZooms), std::end(kZooms), s.zoom) - std::begin(kZooms)));
}

} // namespace orvane
