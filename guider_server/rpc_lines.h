#pragma once
// The wire of the guider protocol: one JSON object per line ending CR LF, in
// both directions. Requests are JSON-RPC 2.0 ({"method", "params", "id"}), the
// answers carry "result" or "error" with the request's id; events carry "Event".

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>
#include <vector>

namespace orvane {

// JSON-RPC error codes the server answers with.
namespace RpcError {
inline constexpr int kParse = -32700;          // the line is not JSON
inline constexpr int kInvalidRequest = -32600; // JSON, but not a request
inline constexpr int kMethodNotFound = -32601;
inline constexpr int kInvalidParams = -32602;
inline constexpr int kRefused = 1;             // understood, but not now (a sequence runs, no star...)
} // namespace RpcError

// Splits received bytes into lines; a line longer than the limit (without its
// end) makes the splitter overflow, after which nothing more is taken.
class LineSplitter {
public:
    static constexpr qsizetype kMaxLineBytes = 64 * 1024;

    // Adds bytes; false once the line being gathered exceeds kMaxLineBytes.
    bool append(const QByteArray &bytes);
    // The next whole line without its LF (and CR), if any.
    std::optional<QByteArray> takeLine();
    bool overflowed() const { return overflowed_; }
    qsizetype pendingBytes() const { return buffer_.size() - start_; }

private:
    QByteArray buffer_;
    qsizetype start_ = 0; // where the next line begins in buffer_
    bool overflowed_ = false;
};

struct RpcRequest {
    QString method;
    QJsonValue params; // object, array or undefined
    QJsonValue id;     // null when the request gave none
};

// The request on a line, or the error answer to send instead.
struct ParsedLine {
    std::optional<RpcRequest> request;
    QByteArray errorReply; // set when request is empty
};
ParsedLine parseRequestLine(const QByteArray &line);

// One line ready to send: compact JSON and CR LF.
QByteArray jsonLine(const QJsonObject &object);
QByteArray resultLine(const QJsonValue &id, const QJsonValue &result);
QByteArray errorLine(const QJsonValue &id, int code, const QString &message);

// The params of a request, by name (object) or by place (array), as the
// protocol allows both. Each reader names the field in its error.
class RpcParams {
public:
    explicit RpcParams(const QJsonValue &params) : params_(params) {}
    // The value named `name`, or at `index` of an array; undefined when absent.
    QJsonValue value(const QString &name, int index) const;
    bool has(const QString &name, int index) const { return !value(name, index).isUndefined(); }

private:
    QJsonValue params_;
};

// Thrown by the method handlers for an answer with the invalid-params or another error code.
struct RpcFailure {
    int code;
    QString message;
};
[[noreturn]] inline void invalidParam(const QString &field, const QString &cause)
{
    throw RpcFailure{RpcError::kInvalidParams, QStringLiteral("invalid params: %1 %2").arg(field, cause)};
}
[[noreturn]] inline void refuse(const QString &why) { throw RpcFailure{RpcError::kRefused, why}; }

// Readers that throw invalidParam naming the field: a number within [low, high],
// a true/false, a text.
double numberParam(const QJsonValue &v, const QString &field, double low, double high);
bool boolParam(const QJsonValue &v, const QString &field);
QString textParam(const QJsonValue &v, const QString &field);

} // namespace orvane
