#pragma once
// Reads every byte an INDI server sends before the INDI client library sees it.
// A server is untrusted input: the stream must be well-formed XML, a BLOB may
// not exceed the frame limit (checked on the raw bytes, so no more than the
// limit is ever held), and the properties the program drives must be of the
// type it drives them as. Memory is bounded whatever the server sends: the
// size of one message, the bytes per second over time, and the number of
// properties defined; a message the client library could not place (a
// property never defined) is counted, since the library writes each one out
// to stderr in full. The first fault ends the stream for good.

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

#include <cstdint>
#include <optional>

#include <QHash>
#include <QSet>

namespace orvane {

// What one connection to a server may bring ([indi] in orvane.ini).
struct IndiLimits {
    static constexpr int64_t kMegabyte = 1 << 20;
    int64_t maxBlobBytes = 200 * kMegabyte;      // one frame, decoded (maxFrameMegabytes)
    int64_t maxMessageBytes = 300 * kMegabyte;   // one message as sent, base64 included (maxMessageMegabytes)
    int64_t maxBytesPerSecond = 100 * kMegabyte; // over time; one largest message may come at once (maxMegabytesPerSecond)
    int maxProperties = 10000;                   // properties defined at one time (maxProperties)
};

class IndiStreamGuard {
public:
    static constexpr int kElementsPerProperty = 32; // on average: the elements all properties may have together
    static constexpr int kMaxUnplaced = 20;         // messages about properties never defined

    explicit IndiStreamGuard(IndiLimits limits);
    // `maxBlobBytes`: the largest frame a BLOB may carry, decoded (bytes); the rest as by default.
    explicit IndiStreamGuard(int64_t maxBlobBytes);

    // Reads the next bytes, come at `nowMs` (a steady clock, ms); the fault (a
    // phrase to follow "The INDI server ...") once the stream broke a rule, at
    // this and every later call.
    std::optional<QString> feed(const QByteArray &bytes, int64_t nowMs = 0);
    int64_t maxBlobBytes() const { return limits_.maxBlobBytes; }

private:
    std::optional<QString> checkRuns(const QByteArray &bytes);
    std::optional<QString> checkRate(qsizetype bytes, int64_t nowMs);
    std::optional<QString> checkElement();
    std::optional<QString> checkMessage(QStringView tag, const QXmlStreamAttributes &attributes);
    std::optional<QString> unplaced();

    IndiLimits limits_;
    int64_t maxBlobBytes_;
    int64_t maxRunBytes_;  // longest text without a tag: a BLOB's base64 and some slack
    int64_t runBytes_ = 0; // bytes since the last '<' or '>'
    int depth_ = 0;        // open elements, the made-up root included
    bool messageOpen_ = false;
    int64_t messageBytes_ = 0; // the open message so far, counted by whole reads (at most a read over)
    double rateAllowance_;     // bytes that may still come at once
    int64_t lastFeedMs_ = -1;
    QHash<QString, QSet<QString>> defined_; // device + '\n' + name -> element names
    qsizetype definedElements_ = 0;
    QString openProperty_;     // the message's property, when it is a definition or an update
    bool openIsDefinition_ = false;
    bool openUnplaced_ = false;
    int unplaced_ = 0;
    QXmlStreamReader reader_;
    std::optional<QString> fault_;
};

// The INDI type a property of that name must have ("number", "switch", "BLOB"),
// or empty when the program does not drive it.
QString expectedIndiType(const QString &propertyName);

} // namespace orvane
