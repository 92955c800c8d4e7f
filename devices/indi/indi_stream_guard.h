#pragma once
// Reads every byte an INDI server sends before the INDI client library sees it.
// A server is untrusted input: the stream must be well-formed XML, a BLOB may
// not exceed the frame limit (checked on the raw bytes, so no more than the
// limit is ever held), and the properties the program drives must be of the
// type it drives them as. The first fault ends the stream for good.

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

#include <cstdint>
#include <optional>

namespace orvane {

class IndiStreamGuard {
public:
    // `maxBlobBytes`: the largest frame a BLOB may carry, decoded (bytes).
    explicit IndiStreamGuard(int64_t maxBlobBytes);

    // Reads the next bytes; the fault (a phrase to follow "The INDI server ...")
    // once the stream broke a rule, at this and every later call.
    std::optional<QString> feed(const QByteArray &bytes);
    int64_t maxBlobBytes() const { return maxBlobBytes_; }

private:
    std::optional<QString> checkRuns(const QByteArray &bytes);
    std::optional<QString> checkElement();

    int64_t maxBlobBytes_;
    int64_t maxRunBytes_;  // longest text without a tag: a BLOB's base64 and some slack
    int64_t runBytes_ = 0; // bytes since the last '<' or '>'
    int depth_ = 0;        // open elements, the made-up root included
    QXmlStreamReader reader_;
    std::optional<QString> fault_;
};

// The INDI type a property of that name must have ("number", "switch", "BLOB"),
// or empty when the program does not drive it.
QString expectedIndiType(const QString &propertyName);

} // namespace orvane
