#pragma once
// The one error convention of the device adapters: a small result that is either
// ok or carries a sentence for the user naming the device or file and the cause.
// ResultOf<T> is the same for a step that gives something back when it works.

#include <QString>

#include <optional>
#include <utility>

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

// Either a value or the sentence saying why there is none.
template <typename T>
class [[nodiscard]] ResultOf {
public:
    ResultOf(T value) : value_(std::move(value)) {}
    static ResultOf failure(QString sentence) { return ResultOf(Result::failure(std::move(sentence))); }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    // The sentence for the user; empty when ok.
    const QString &error() const { return error_; }
    // Only when ok.
    T &value() { return *value_; }
    const T &value() const { return *value_; }

private:
    explicit ResultOf(const Result &failed) : error_(failed.error()) {}
    std::optional<T> value_;
    QString error_;
};

} // namespace orvane
