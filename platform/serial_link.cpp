#include "serial_link.h"

namespace orvane {

MSComm::~MSComm()
{
    if (connection_)
        connection_->close();
}

Result MSComm::setPortOpen(bool open)
{
    if (!open) {
        if (connection_)
            connection_->close();
        connection_.reset();
        return Result::success();
    }
    if (connection_)
        return Result::success();
    QString error;
    connection_ = opener_.open(commPort_, error);
    if (!connection_)
        return Result::failure(error);
    lossReported_ = false;
    return Result::success();
}

void MSComm::Output(const QByteArray &text)
{
    QString problem;
    if (!connection_) {
        problem = QStringLiteral("The telescope link on %1 is closed; the command %2 was not sent.")
                      .arg(opener_.describe(commPort_), QString::fromLatin1(text));
    } else if (Result sent = connection_->write(text); !sent) {
        problem = sent.error();
    }
    if (problem.isEmpty())
        return;
    if (!lossReported_ && onLinkLost)
        onLinkLost(problem);
    lossReported_ = true;
}

QByteArray MSComm::Input()
{
    return connection_ ? connection_->readAll() : QByteArray();
}

} // namespace orvane
