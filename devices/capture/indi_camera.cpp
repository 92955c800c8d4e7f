#include "indi_camera.h"

#include "fits_file.h"
#include "picture_area.h"

namespace orvane {

namespace {
const QString kConnection = QStringLiteral("CONNECTION");
const QString kExposure = QStringLiteral("CCD_EXPOSURE");
const QString kBlob = QStringLiteral("CCD1");
} // namespace

QString indiPortBytesNote()
{
    return QStringLiteral("An INDI camera does not use the printer-port bytes: "
                          "the read-out asks the server for an exposure as long as the exposure byte was held.");
}

IndiCamera::IndiCamera(IndiServer server, QString device, Clock &clock, EventPump &pump, CameraLines &port,
                       const Settings &settings, IndiCameraOptions options)
    : server_(std::move(server)), main_{std::move(device), QStringLiteral("camera")}, clock_(clock), pump_(pump),
      options_(std::move(options)), watch_(std::make_shared<IndiExposureWatch>(settings))
{
    if (!options_.guideDevice.isEmpty() && options_.guideDevice != main_.name)
        guide_ = Device{options_.guideDevice, QStringLiteral("guide camera")};
    std::weak_ptr<IndiExposureWatch> watch = watch_;
    port.addListener([watch](const PortWrite &write) {
        if (auto alive = watch.lock())
            alive->onWrite(write);
    });
}

IndiCamera::~IndiCamera() = default;

QString IndiCamera::name() const
{
    return QStringLiteral("%1 (INDI, %2)").arg(main_.name, server_.text());
}

QString IndiCamera::usageNote() const
{
    if (!guide_)
        return indiPortBytesNote();
    return QStringLiteral("%1 Guide frames come from the guide camera \"%2\" on the same server.")
        .arg(indiPortBytesNote(), guide_->name);
}

QString IndiCamera::dialogNote(CaptureDialog) const
{
    return QStringLiteral("%1 is set up on its INDI server. %2").arg(main_.name, usageNote());
}

QImage IndiCamera::fullSizeFrame() const
{
    const Device &shown = guideShown_ && guide_ ? *guide_ : main_;
    return shown.full.size() == shown.shown.size() ? QImage() : shown.full;
}

bool IndiCamera::ready(const Device &device) const
{
    const IndiProperty *connection = session_->property(device.name, kConnection);
    return connection && connection->switches.value(QStringLiteral("CONNECT")) &&
           session_->property(device.name, kExposure) && session_->property(device.name, kBlob);
}

bool IndiCamera::ready() const
{
    return session_ && session_->alive() && ready(main_) && (!guide_ || ready(*guide_));
}

QString IndiCamera::notReadySentence(const Device &device) const
{
    if (!session_->devices().contains(device.name))
        return guide_ && &device == &*guide_
                   ? QStringLiteral("The INDI server at %1 has no device \"%2\" (the guide camera orvane.ini names).")
                         .arg(server_.text(), device.name)
                   : QStringLiteral("The INDI server at %1 has no device \"%2\".").arg(server_.text(), device.name);
    const IndiProperty *connection = session_->property(device.name, kConnection);
    if (!connection || !connection->switches.value(QStringLiteral("CONNECT")))
        return QStringLiteral("The INDI %1 \"%2\" on %3 did not connect in time.").arg(device.role, device.name, server_.text());
    return QStringLiteral("The INDI device \"%1\" on %2 has no %3 property: it is not a %4 Orvane can use.")
        .arg(device.name, server_.text(), session_->property(device.name, kExposure) ? kBlob : kExposure, device.role);
}

QString IndiCamera::notReadySentence() const
{
    if (!session_)
        return QStringLiteral("The INDI camera \"%1\" on %2 is not connected.").arg(main_.name, server_.text());
    if (!session_->alive())
        return session_->lostSentence();
    return notReadySentence(ready(main_) && guide_ ? *guide_ : main_);
}

IndiCamera::Device *IndiCamera::deviceNamed(const QString &name)
{
    if (name == main_.name)
        return &main_;
    return guide_ && name == guide_->name ? &*guide_ : nullptr;
}

Result IndiCamera::startSession()
{
    if (session_ && session_->alive())
        return Result::success();
    session_ = std::make_unique<IndiSession>(server_, options_.limits);
    exposing_ = false;
    QObject::connect(session_.get(), &IndiSession::propertyChanged, session_.get(),
                     [this](const QString &device, const QString &name) {
                         if (!deviceNamed(device) || name != kConnection)
                             return;
                         const IndiProperty *c = session_->property(device, kConnection);
                         if (c && !c->switches.value(QStringLiteral("CONNECT")))
                             session_->connectDevice(device);
                         else if (c)
                             session_->receiveBlobs(device);
                     });
    QObject::connect(session_.get(), &IndiSession::blobArrived, session_.get(),
                     [this](const QString &device, const QString &) {
                         if (Device *from = deviceNamed(device))
                             ++from->blobs;
                     });
    QObject::connect(session_.get(), &IndiSession::lost, session_.get(), [this](const QString &sentence) {
        if (connected_)
            tellProblem(sentence);
    });
    return session_->start();
}

Result IndiCamera::connect()
{
    if (Result started = startSession(); !started)
        return started;
    const uint32_t until = clock_.now() + options_.connectMs;
    while (!ready() && session_->alive() && !reached(clock_.now(), until))
        pump_.processEventsOrSleep(until);
    if (!ready())
        return Result::failure(notReadySentence());
    connected_ = true;
    return Result::success();
}

void IndiCamera::requestExposure(Device &device, double seconds)
{
    device.lastExposureS = std::max(seconds, options_.shortestExposureS);
    session_->sendNumbers(device.name, kExposure, {{QStringLiteral("CCD_EXPOSURE_VALUE"), device.lastExposureS}});
}

std::optional<QImage> IndiCamera::takeBlob(Device &device)
{
    const IndiProperty *blob = session_->property(device.name, kBlob);
    if (!blob || blob->blob.isEmpty())
        return std::nullopt;
    const QString where = QStringLiteral("The INDI %1 \"%2\" on %3").arg(device.role, device.name, server_.text());
    if (!blob->blobFormat.startsWith(QStringLiteral(".fits")) || !looksLikeFits(blob->blob)) {
        tellProblem(QStringLiteral("%1 sent a frame that is not a FITS image (format \"%2\").").arg(where, blob->blobFormat));
        return std::nullopt;
    }
    ResultOf<FitsImage> fits = decodeFits(blob->blob);
    if (!fits.ok()) {
        tellProblem(QStringLiteral("%1 sent a FITS frame Orvane cannot read: %2").arg(where, fits.error()));
        return std::nullopt;
    }
    device.full = fitsDisplayImage(fits.value()).convertToFormat(QImage::Format_RGB32);
    device.shown = device.full.width() <= PictureArea::kWidth && device.full.height() <= PictureArea::kHeight
                       ? device.full
                       : device.full.scaled(PictureArea::kWidth, PictureArea::kHeight, Qt::KeepAspectRatio,
                                            Qt::SmoothTransformation);
    guideShown_ = &device != &main_;
    return device.shown;
}

std::optional<QImage> IndiCamera::awaitFrame(Device &device, double seconds)
{
    const uint64_t before = device.blobs;
    requestExposure(device, seconds);
    const uint32_t until = clock_.now() + uint32_t(device.lastExposureS * 1000.0) + options_.frameTimeoutMs;
    waiting_ = true;
    while (device.blobs == before && session_->alive() && !reached(clock_.now(), until)) {
        uint32_t wake = until;
        if (service_)
            if (const std::optional<uint32_t> due = service_->nextDueMs(); due && elapsedMs(clock_.now(), *due) < elapsedMs(clock_.now(), wake))
                wake = *due;
        pump_.processEventsOrSleep(wake);
        if (service_)
            if (const std::optional<uint32_t> due = service_->nextDueMs(); due && reached(clock_.now(), *due))
                service_->serve();
    }
    waiting_ = false;
    if (!session_->alive())
        return std::nullopt; // the loss was told as it happened
    if (device.blobs == before) {
        tellProblem(QStringLiteral("The INDI %1 \"%2\" on %3 sent no frame within %4 s of a %5 s exposure.")
                        .arg(device.role, device.name, server_.text())
                        .arg(options_.frameTimeoutMs / 1000)
                        .arg(device.lastExposureS, 0, 'g', 4));
        return std::nullopt;
    }
    return takeBlob(device);
}

std::optional<QImage> IndiCamera::sequenceFrame()
{
    if (!guide_)
        return awaitFrame(main_, watch_->takeSeconds(clock_.now()));
    if (watch_->lastReadout() == IndiReadout::Guide)
        return awaitFrame(*guide_, watch_->guideSeconds());
    return awaitFrame(main_, watch_->imageSeconds());
}

std::optional<QImage> IndiCamera::copyFrame()
{
    if (!connected_ || waiting_)
        return std::nullopt;
    if (!ready()) {
        // After a loss the next copy connects again; the user heard of the loss when it came.
        if (session_ && !session_->alive() && connect().ok())
            connected_ = true;
        if (!ready())
            return std::nullopt;
    }
    if (sequencing_)
        return sequenceFrame();
    // Live: show what came, and ask for the next one without waiting.
    std::optional<QImage> frame;
    if (const IndiProperty *exposure = session_->property(main_.name, kExposure); exposure && exposure->state != IndiState::Busy) {
        if (exposing_)
            frame = takeBlob(main_);
        requestExposure(main_, options_.liveExposureS);
        exposing_ = true;
    }
    if (!frame && !main_.shown.isNull()) {
        guideShown_ = false;
        return main_.shown;
    }
    return frame;
}

} // namespace orvane
