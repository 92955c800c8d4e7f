#include "indi_stream_guard.h"

#include <QHash>

#include <algorithm>

namespace orvane {

namespace {

constexpr int kMaxDepth = 6;             // <defXVector><defX> is 2 below the stream's own element
constexpr int64_t kRunSlackBytes = 4096; // line breaks the server puts into base64

QString typeOfVectorTag(QStringView tag)
{
    // def/set/new + Number/Switch/Text/Light/BLOB + Vector
    static const QHash<QString, QString> kTypes = {
        {QStringLiteral("Number"), QStringLiteral("number")}, {QStringLiteral("Switch"), QStringLiteral("switch")},
        {QStringLiteral("Text"), QStringLiteral("text")},     {QStringLiteral("Light"), QStringLiteral("light")},
        {QStringLiteral("BLOB"), QStringLiteral("BLOB")},
    };
    if (!tag.endsWith(u"Vector") || tag.size() < 9)
        return {};
    return kTypes.value(tag.mid(3, tag.size() - 9).toString());
}

QString megabytes(int64_t bytes)
{
    return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB");
}

} // namespace

QString expectedIndiType(const QString &propertyName)
{
    static const QHash<QString, QString> kDriven = {
        {QStringLiteral("CONNECTION"), QStringLiteral("switch")},
        {QStringLiteral("TELESCOPE_TIMED_GUIDE_NS"), QStringLiteral("number")},
        {QStringLiteral("TELESCOPE_TIMED_GUIDE_WE"), QStringLiteral("number")},
        {QStringLiteral("TELESCOPE_MOTION_NS"), QStringLiteral("switch")},
        {QStringLiteral("TELESCOPE_MOTION_WE"), QStringLiteral("switch")},
        {QStringLiteral("TELESCOPE_SLEW_RATE"), QStringLiteral("switch")},
        {QStringLiteral("TELESCOPE_ABORT_MOTION"), QStringLiteral("switch")},
        {QStringLiteral("CCD_EXPOSURE"), QStringLiteral("number")},
        {QStringLiteral("CCD1"), QStringLiteral("BLOB")},
    };
    return kDriven.value(propertyName);
}

IndiStreamGuard::IndiStreamGuard(int64_t maxBlobBytes) : IndiStreamGuard(IndiLimits{.maxBlobBytes = maxBlobBytes}) {}

IndiStreamGuard::IndiStreamGuard(IndiLimits limits)
    : limits_(limits), maxBlobBytes_(limits.maxBlobBytes), maxRunBytes_(limits.maxBlobBytes / 3 * 4 + 4 + kRunSlackBytes),
      rateAllowance_(double(limits.maxMessageBytes + limits.maxBytesPerSecond))
{
    // The server's messages follow one another without a root element; one is made up here.
    reader_.addData(QByteArrayLiteral("<indi>"));
}

std::optional<QString> IndiStreamGuard::checkRuns(const QByteArray &bytes)
{
    for (const char c : bytes) {
        if (c == '<' || c == '>') {
            runBytes_ = 0;
        } else if (++runBytes_ > maxRunBytes_) {
            return QStringLiteral("sent a BLOB larger than the limit of %1").arg(megabytes(maxBlobBytes_));
        }
    }
    return std::nullopt;
}

std::optional<QString> IndiStreamGuard::unplaced()
{
    if (++unplaced_ <= kMaxUnplaced)
        return std::nullopt;
    return QStringLiteral("sent more than %1 updates the INDI client library cannot place (of properties or elements never defined, or without a state)").arg(kMaxUnplaced);
}

// A message (an element at the top of the stream): definitions are counted
// against the limit, updates and deletions of what was never defined are unplaced.
std::optional<QString> IndiStreamGuard::checkMessage(QStringView tag, const QXmlStreamAttributes &attributes)
{
    openProperty_.clear();
    openUnplaced_ = false;
    const QString device = attributes.value(QStringLiteral("device")).toString();
    const QString name = attributes.value(QStringLiteral("name")).toString();
    const bool vector = tag.endsWith(u"Vector");
    openIsDefinition_ = vector && tag.startsWith(u"def");
    if (vector && (device.isEmpty() || name.isEmpty()))
        return QStringLiteral("sent a property without a device or a name");
    const QString key = device + QLatin1Char('\n') + name;
    if (openIsDefinition_) {
        if (!defined_.contains(key) && defined_.size() >= limits_.maxProperties)
            return QStringLiteral("defined more than %1 properties, the limit of [indi] maxProperties").arg(limits_.maxProperties);
        defined_[key];
        openProperty_ = key;
    } else if (vector && tag.startsWith(u"set")) {
        static const QSet<QString> kStates = {QStringLiteral("Idle"), QStringLiteral("Ok"), QStringLiteral("Busy"),
                                              QStringLiteral("Alert")};
        // The library takes no update without a state it knows, and writes each one out.
        if (!defined_.contains(key) || !kStates.contains(attributes.value(QStringLiteral("state")).toString())) {
            openUnplaced_ = true;
            return unplaced();
        }
        openProperty_ = key;
    } else if (tag == u"delProperty") {
        if (name.isEmpty()) { // the whole device
            bool any = false;
            for (auto it = defined_.begin(); it != defined_.end();) {
                if (it.key().startsWith(device + QLatin1Char('\n'))) {
                    definedElements_ -= it->size();
                    it = defined_.erase(it);
                    any = true;
                } else {
                    ++it;
                }
            }
            return any ? std::nullopt : unplaced();
        }
        const auto it = defined_.find(key);
        if (it == defined_.end())
            return unplaced();
        definedElements_ -= it->size();
        defined_.erase(it);
    }
    return std::nullopt;
}

std::optional<QString> IndiStreamGuard::checkElement()
{
    const QStringView tag = reader_.name();
    const QXmlStreamAttributes attributes = reader_.attributes();
    if (depth_ == 2) {
        messageOpen_ = true;
        messageBytes_ = 0;
        if (std::optional<QString> fault = checkMessage(tag, attributes))
            return fault;
    } else if (depth_ == 3 && !openProperty_.isEmpty()) {
        const QString element = attributes.value(QStringLiteral("name")).toString();
        QSet<QString> &elements = defined_[openProperty_];
        if (openIsDefinition_ && !elements.contains(element)) {
            if (definedElements_ >= qsizetype(limits_.maxProperties) * kElementsPerProperty)
                return QStringLiteral("defined more than %1 property elements, %2 for each of [indi] maxProperties")
                    .arg(qsizetype(limits_.maxProperties) * kElementsPerProperty)
                    .arg(kElementsPerProperty);
            elements.insert(element);
            ++definedElements_;
        } else if (!openIsDefinition_ && !openUnplaced_ && !elements.contains(element)) {
            openUnplaced_ = true;
            return unplaced();
        }
    }
    if (tag == u"oneBLOB") {
        for (const auto *key : {"size", "len"}) {
            const int64_t bytes = attributes.value(QLatin1String(key)).toLongLong();
            if (bytes > maxBlobBytes_)
                return QStringLiteral("announced a BLOB of %1, over the limit of %2")
                    .arg(megabytes(bytes), megabytes(maxBlobBytes_));
        }
        return std::nullopt;
    }
    const QString type = typeOfVectorTag(tag);
    if (type.isEmpty())
        return std::nullopt;
    const QString name = attributes.value(QStringLiteral("name")).toString();
    const QString expected = expectedIndiType(name);
    if (expected.isEmpty() || expected == type)
        return std::nullopt;
    return QStringLiteral("sent %1's property %2 as a %3 property, where a %4 property belongs")
        .arg(attributes.value(QStringLiteral("device")).toString(), name, type, expected);
}

std::optional<QString> IndiStreamGuard::checkRate(qsizetype bytes, int64_t nowMs)
{
    // A bucket as deep as the largest message and a second's worth, refilled at the limit per second.
    const double depth = double(limits_.maxMessageBytes + limits_.maxBytesPerSecond);
    if (lastFeedMs_ >= 0 && nowMs > lastFeedMs_)
        rateAllowance_ = std::min(depth, rateAllowance_ + double(nowMs - lastFeedMs_) * double(limits_.maxBytesPerSecond) / 1000.0);
    lastFeedMs_ = std::max(lastFeedMs_, nowMs);
    rateAllowance_ -= double(bytes);
    if (rateAllowance_ >= 0)
        return std::nullopt;
    return QStringLiteral("sent more than %1 per second for too long, over the limit of [indi] maxMegabytesPerSecond")
        .arg(megabytes(limits_.maxBytesPerSecond));
}

std::optional<QString> IndiStreamGuard::feed(const QByteArray &bytes, int64_t nowMs)
{
    if (fault_)
        return fault_;
    fault_ = checkRate(bytes.size(), nowMs);
    if (!fault_)
        fault_ = checkRuns(bytes);
    if (fault_)
        return fault_;
    reader_.addData(bytes);
    if (messageOpen_)
        messageBytes_ += bytes.size();
    while (!reader_.atEnd() && !fault_) {
        const QXmlStreamReader::TokenType token = reader_.readNext();
        if (token == QXmlStreamReader::EndElement) {
            if (depth_ == 2) {
                messageOpen_ = false;
                openProperty_.clear();
            }
            --depth_;
        } else if (token == QXmlStreamReader::StartElement) {
            if (++depth_ > kMaxDepth)
                fault_ = QStringLiteral("sent XML nested deeper than INDI messages go");
            else
                fault_ = checkElement();
        }
    }
    if (!fault_ && messageOpen_ && messageBytes_ == 0)
        messageBytes_ = bytes.size(); // begun in this read: counted from its start, at most a read over
    if (!fault_ && messageOpen_ && messageBytes_ > limits_.maxMessageBytes)
        fault_ = QStringLiteral("sent a message larger than %1, the limit of [indi] maxMessageMegabytes")
                     .arg(megabytes(limits_.maxMessageBytes));
    if (!fault_ && reader_.hasError() && reader_.error() != QXmlStreamReader::PrematureEndOfDocumentError)
    {
        QString cause = reader_.errorString();
        while (cause.endsWith(QLatin1Char('.')))
            cause.chop(1);
        fault_ = QStringLiteral("sent malformed XML (%1 at line %2)").arg(cause).arg(reader_.lineNumber());
    }
    return fault_;
}

} // namespace orvane
