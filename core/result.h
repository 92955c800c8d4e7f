#pragma once
// The one error convention of the device adapters: a small result that is either
// ok or carries a sentence for the user naming the device or file and the cause.

#include <QString>

namespace orvane {

class [[nodiscard]] Result {
public:
    static Result success() { return Result(); }
    static Result failure(QString sentence) { return Result(std::move(sentence)); }

    bool ok() const { return error_.isEmpty(); }
    explicit operator bool() const { return ok(); }
    // The sentence for the user; empty when ok.
    const QString &error() const { return error_; }

private:
    Result() = default;
    explicit Result(QString sentence) : error_(sentence.isEmpty() ? QStringLiteral("unknown error") : std::move(sentence)) {}
    QString error_;
};

} // namespace orvane
