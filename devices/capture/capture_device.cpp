#include "capture_device.h"

namespace orvane {

CaptureDevices::~CaptureDevices()
{
    if (CaptureSource *in = source(current_))
        in->disconnect();
}

void CaptureDevices::addSource(std::unique_ptr<CaptureSource> source)
{
    source->setProblemNotifier(problems_);
    sources_.push_back(std::move(source));
}

QString CaptureDevices::deviceName(int32_t index) const
{
    const CaptureSource *s = source(index);
    return s ? s->name() : QString();
}

CaptureSource *CaptureDevices::source(int32_t index) const
{
    return index >= 0 && index < deviceCount() ? sources_[size_t(index)].get() : nullptr;
}

bool CaptureDevices::hasRealDevice() const
{
    for (const auto &s : sources_)
        if (!s->simulated())
            return true;
    return false;
}

bool CaptureDevices::simulatedInUse() const
{
    const CaptureSource *in = source(current_);
    return in && in->simulated();
}

Result CaptureDevices::setCurrentDevice(int32_t index)
{
    CaptureSource *next = source(index);
    if (!next)
        return Result::failure(QStringLiteral("There is no capture device number %1.").arg(index));
    if (CaptureSource *in = source(current_))
        in->disconnect();
    current_ = -1;
    Result connected = next->connect();
    if (connected) {
        current_ = index;
        next->setSequencing(sequencing_);
    }
    emit deviceChanged();
    return connected;
}

void CaptureDevices::setSequencing(bool on)
{
    sequencing_ = on;
    if (CaptureSource *in = source(current_))
        in->setSequencing(on);
}

std::optional<QImage> CaptureDevices::copyFrame(WaitService *service)
{
    CaptureSource *in = source(current_);
    if (!in)
        return std::nullopt;
    in->setWaitService(service);
    std::optional<QImage> frame = in->copyFrame();
    in->setWaitService(nullptr);
    return frame;
}

void CaptureDevices::setProblemNotifier(Notifier *notifier)
{
    problems_ = notifier;
    for (auto &s : sources_)
        s->setProblemNotifier(notifier);
}

} // namespace orvane
