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

// How long the exposure byte was held before each read-out.
struct IndiCamera::PortWatch {
    explicit PortWatch(const Settings &s) : settings(s) {}
    const Settings &settings;
    bool exposing = false;
    uint32_t sinceMs = 0;  // clock ms the exposure byte came
    int64_t heldMs = 0;    // held since the last read-out
    bool readoutDue = false;

    void onWrite(const PortWrite &write)
    {
        const bool nowExposing = write.value == settings.ExposureState;
        if (exposing && !nowExposing)
            heldMs += std::max(0, elapsedMs(sinceMs, write.atMs));
        if (!exposing && nowExposing)
            sinceMs = write.atMs;
        exposing = nowExposing;
        if (write.value == settings.GetImageState || write.value == settings.GetGuideState)
            readoutDue = true;
    }
    // The held time up to `nowMs`, from which the next read-out starts again.
    double takeSeconds(uint32_t nowMs)
    {
        int64_t ms = heldMs;
        if (exposing)
            ms += std::max(0, elapsedMs(sinceMs, nowMs)), sinceMs = nowMs;
        heldMs = 0;
        readoutDue = false;
        return double(ms) / 1000.0;
    }
};

IndiCamera::IndiCamera(IndiServer server, QString device, Clock &clock, EventPump &pump, WinIo &port,
                       const Settings &settings, IndiCameraOptions options)
    : server_(std::move(server)), device_(std::move(device)), clock_(clock), pump_(pump),
      options_(options), watch_(std::make_shared<PortWatch>(settings))
{
    std::weak_ptr<PortWatch> watch = watch_;
    port.addListener([watch](const PortWrite &write) {
        if (auto alive = watch.lock())
            alive->onWrite(write);
    });
}

IndiCamera::~IndiCamera() = default;

QString IndiCamera::name() const
{
    return QStringLiteral("%1 (INDI, %2)").arg(device_, server_.text());
}

QString IndiCamera::dialogNote(CaptureDialog) const
{
    return QStringLiteral("%1 is set up on its INDI server. %2").arg(device_, indiPortBytesNote());
}

bool IndiCamera::ready() const
{
    if (!session_ || !session_->alive())
        return false;
    const IndiProperty *connection = session_->property(device_, kConnection);
    return connection && connection->switches.value(QStringLiteral("CONNECT")) && session_->property(device_, kExposure) &&
           session_->property(device_, kBlob);
}

QString IndiCamera::notReadySentence() const
{
    if (!session_)
        return QStringLiteral("The INDI camera \"%1\" on %2 is not connected.").arg(device_, server_.text());
    if (!session_->alive())
        return session_->lostSentence();
    if (!session_->devices().contains(device_))
        return QStringLiteral("The INDI server at %1 has no device \"%2\".").arg(server_.text(), device_);
    const IndiProperty *connection = session_->property(device_, kConnection);
    if (!connection || !connection->switches.value(QStringLiteral("CONNECT")))
        return QStringLiteral("The INDI camera \"%1\" on %2 did not connect in time.").arg(device_, server_.text());
    return QStringLiteral("The INDI device \"%1\" on %2 has no %3 property: it is not a camera Orvane can use.")
        .arg(device_, server_.text(), session_->property(device_, kExposure) ? kBlob : kExposure);
}

Result IndiCamera::startSession()
{
    if (session_ && session_->alive())
        return Result::success();
    session_ = std::make_unique<IndiSession>(server_, options_.maxFrameBytes);
    exposing_ = false;
    QObject::connect(session_.get(), &IndiSession::propertyChanged, session_.get(),
                     [this](const QString &device, const QString &name) {
                         if (device != device_ || name != kConnection)
                             return;
                         const IndiProperty *c = session_->property(device, kConnection);
                         if (c && !c->switches.value(QStringLiteral("CONNECT")))
                             session_->connectDevice(device);
                         else if (c)
                             session_->receiveBlobs(device);
                     });
    QObject::connect(session_.get(), &IndiSession::blobArrived, session_.get(),
                     [this](const QString &device, const QString &) {
                         if (device == device_)
                             ++blobs_;
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

void IndiCamera::requestExposure(double seconds)
{
    lastExposureS_ = std::max(seconds, options_.shortestExposureS);
    session_->sendNumbers(device_, kExposure, {{QStringLiteral("CCD_EXPOSURE_VALUE"), lastExposureS_}});
}

std::optional<QImage> IndiCamera::takeBlob()
{
    const IndiProperty *blob = session_->property(device_, kBlob);
    if (!blob || blob->blob.isEmpty())
        return std::nullopt;
    const QString where = QStringLiteral("The INDI camera \"%1\" on %2").arg(device_, server_.text());
    if (!blob->blobFormat.startsWith(QStringLiteral(".fits")) || !looksLikeFits(blob->blob)) {
        tellProblem(QStringLiteral("%1 sent a frame that is not a FITS image (format \"%2\").").arg(where, blob->blobFormat));
        return std::nullopt;
    }
    ResultOf<FitsImage> fits = decodeFits(blob->blob);
    if (!fits.ok()) {
        tellProblem(QStringLiteral("%1 sent a FITS frame Orvane cannot read: %2").arg(where, fits.error()));
        return std::nullopt;
    }
    full_ = fitsDisplayImage(fits.value()).convertToFormat(QImage::Format_RGB32);
    shown_ = full_.width() <= PictureArea::kWidth && full_.height() <= PictureArea::kHeight
                 ? full_
                 : full_.scaled(PictureArea::kWidth, PictureArea::kHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return shown_;
}

std::optional<QImage> IndiCamera::awaitFrame(double seconds)
{
    const uint64_t before = blobs_;
    requestExposure(seconds);
    const uint32_t until = clock_.now() + uint32_t(lastExposureS_ * 1000.0) + options_.frameTimeoutMs;
    waiting_ = true;
    while (blobs_ == before && session_->alive() && !reached(clock_.now(), until)) {
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
    if (blobs_ == before) {
        tellProblem(QStringLiteral("The INDI camera \"%1\" on %2 sent no frame within %3 s of a %4 s exposure.")
                        .arg(device_, server_.text())
                        .arg(options_.frameTimeoutMs / 1000)
                        .arg(lastExposureS_, 0, 'g', 4));
        return std::nullopt;
    }
    return takeBlob();
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
    if (sequencing_) {
        const double held = watch_->takeSeconds(clock_.now());
        return awaitFrame(held);
    }
    // Live: show what came, and ask for the next one without waiting.
    std::optional<QImage> frame;
    if (const IndiProperty *exposure = session_->property(device_, kExposure); exposure && exposure->state != IndiState::Busy) {
        if (exposing_)
            frame = takeBlob();
        requestExposure(options_.liveExposureS);
        exposing_ = true;
    }
    if (!frame && !shown_.isNull())
        return shown_;
    return frame;
}

} // namespace orvane
