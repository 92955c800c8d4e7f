#include "serial_link.h"

namespace orvane {

namespace {

// A command as the user can read it: control bytes such as the probe's 0x06
// are shown as <06>.
QString readableCommand(const QByteArray &text)
{
    QString shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F)
            shown += QStringLiteral("<%1>").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
        else
            shown += QLatin1Char(c);
    }
    return shown;
}

} // namespace

MountLink::~MountLink()
{
    if (connection_)
        connection_->close();
}

Result MountLink::setPortOpen(bool open)
{
    if (!open) {
        if (connection_)
            connection_->close();
        connection_.reset();
        lossReported_ = false; // a send on the closed link is news again
        return Result::success();
    }
    if (connection_)
        return Result::success();
    SerialOpening opened = opener_.open(commPort_);
    if (!opened)
        return Result::failure(opened.error());
    connection_ = std::move(opened.value());
    lossReported_ = false;
    asked_.reset(); // what an earlier opening answered may be long out of date
    connection_->watchForLoss([this](const QString &sentence) { reportLoss(sentence); });
    return Result::success();
}

void MountLink::Output(const QByteArray &text)
{
    QString problem;
    if (!connection_) {
        problem = QStringLiteral("The telescope link to %1 is closed (it opens when a sequence starts with guiding "
                                 "ticked); the command %2 was not sent.")
                      .arg(opener_.describe(commPort_), readableCommand(text));
    } else if (Result sent = connection_->write(text); !sent) {
        problem = sent.error();
    }
    if (!problem.isEmpty())
        reportLoss(problem);
}

void MountLink::reportLoss(const QString &sentence)
{
    if (!lossReported_ && onLinkLost)
        onLinkLost(sentence);
    lossReported_ = true;
}

std::optional<MountPointing> MountLink::pointing() const
{
    if (!connection_)
        return std::nullopt;
    if (std::optional<MountPointing> told = connection_->pointing())
        return told;
    return asked_;
}

QByteArray MountLink::Input()
{
    return connection_ ? connection_->readAll() : QByteArray();
}

} // namespace orvane
