#include "rpc_lines.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>

namespace orvane {

bool LineSplitter::append(const QByteArray &bytes)
{
    if (overflowed_)
        return false;
    if (start_ > 0 && start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    } else if (start_ > kMaxLineBytes) {
        buffer_.remove(0, start_); // keeps the buffer within a few lines' size
        start_ = 0;
    }
    buffer_.append(bytes);
    // The line being gathered: from the last LF (or start_) to the end.
    const qsizetype lastEnd = buffer_.lastIndexOf('\n');
    const qsizetype open = lastEnd < start_ ? buffer_.size() - start_ : buffer_.size() - lastEnd - 1;
    // A whole line taken in this append may be long too: check each.
    qsizetype from = start_;
    for (qsizetype end = buffer_.indexOf('\n', from); end >= 0; end = buffer_.indexOf('\n', from)) {
        if (end - from > kMaxLineBytes + 1)
            overflowed_ = true;
        from = end + 1;
    }
    if (open > kMaxLineBytes)
        overflowed_ = true;
    return !overflowed_;
}

std::optional<QByteArray> LineSplitter::takeLine()
{
    if (overflowed_)
        return std::nullopt;
    const qsizetype end = buffer_.indexOf('\n', start_);
    if (end < 0)
        return std::nullopt;
    QByteArray line = buffer_.mid(start_, end - start_);
    start_ = end + 1;
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

QByteArray jsonLine(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + "\r\n";
}

QByteArray resultLine(const QJsonValue &id, const QJsonValue &result)
{
    return jsonLine({{"jsonrpc", "2.0"}, {"result", result}, {"id", id}});
}

QByteArray errorLine(const QJsonValue &id, int code, const QString &message)
{
    return jsonLine({{"jsonrpc", "2.0"}, {"error", QJsonObject{{"code", code}, {"message", message}}}, {"id", id}});
}

ParsedLine parseRequestLine(const QByteArray &line)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError)
        return {std::nullopt, errorLine(QJsonValue::Null, RpcError::kParse,
                                        QStringLiteral("parse error: %1 at byte %2").arg(error.errorString()).arg(error.offset))};
    if (!doc.isObject())
        return {std::nullopt, errorLine(QJsonValue::Null, RpcError::kInvalidRequest,
                                        QStringLiteral("invalid request: a request is a JSON object"))};
    const QJsonObject o = doc.object();
    const QJsonValue id = o.contains("id") ? o.value("id") : QJsonValue(QJsonValue::Null);
    if (!o.value("method").isString())
        return {std::nullopt, errorLine(id, RpcError::kInvalidRequest,
                                        QStringLiteral("invalid request: \"method\" must be a text"))};
    const QJsonValue params = o.value("params");
    if (!params.isUndefined() && !params.isObject() && !params.isArray() && !params.isNull())
        return {std::nullopt, errorLine(id, RpcError::kInvalidParams,
                                        QStringLiteral("invalid params: \"params\" must be an object or an array"))};
    return {RpcRequest{o.value("method").toString(), params, id}, {}};
}

QJsonValue RpcParams::value(const QString &name, int index) const
{
    if (params_.isObject())
        return params_.toObject().value(name);
    if (params_.isArray()) {
        const QJsonArray a = params_.toArray();
        return index >= 0 && index < a.size() ? a.at(index) : QJsonValue(QJsonValue::Undefined);
    }
    return QJsonValue(QJsonValue::Undefined);
}

double numberParam(const QJsonValue &v, const QString &field, double low, double high)
{
    if (!v.isDouble())
        invalidParam(field, QStringLiteral("must be a number"));
    const double x = v.toDouble();
    if (!std::isfinite(x) || x < low || x > high)
        invalidParam(field, QStringLiteral("must lie between %1 and %2; it is %3").arg(low).arg(high).arg(x));
    return x;
}

bool boolParam(const QJsonValue &v, const QString &field)
{
    if (!v.isBool())
        invalidParam(field, QStringLiteral("must be true or false"));
    return v.toBool();
}

QString textParam(const QJsonValue &v, const QString &field)
{
    if (!v.isString())
        invalidParam(field, QStringLiteral("must be a text"));
    return v.toString();
}

} // namespace orvane
