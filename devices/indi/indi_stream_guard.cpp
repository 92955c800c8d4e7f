#include "indi_stream_guard.h"

#include <QHash>

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
        {QStringLiteral("CCD_EXPOSURE"), QStringLiteral("number")},
        {QStringLiteral("CCD1"), QStringLiteral("BLOB")},
    };
    return kDriven.value(propertyName);
}

IndiStreamGuard::IndiStreamGuard(int64_t maxBlobBytes)
    : maxBlobBytes_(maxBlobBytes), maxRunBytes_(maxBlobBytes / 3 * 4 + 4 + kRunSlackBytes)
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

std::optional<QString> IndiStreamGuard::checkElement()
{
    const QStringView tag = reader_.name();
    const QXmlStreamAttributes attributes = reader_.attributes();
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

std::optional<QString> IndiStreamGuard::feed(const QByteArray &bytes)
{
    if (fault_)
        return fault_;
    fault_ = checkRuns(bytes);
    if (fault_)
        return fault_;
    reader_.addData(bytes);
    while (!reader_.atEnd() && !fault_) {
        const QXmlStreamReader::TokenType token = reader_.readNext();
        if (token == QXmlStreamReader::EndElement) {
            --depth_;
        } else if (token == QXmlStreamReader::StartElement) {
            if (++depth_ > kMaxDepth)
                fault_ = QStringLiteral("sent XML nested deeper than INDI messages go");
            else
                fault_ = checkElement();
        }
    }
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
