// The simulated mount's command reader on arbitrary byte streams: the stream
// cut into pieces at any points must give the same replies and leave the mount
// and the sky in the same motion as the whole stream given at once, and as the
// stream given a byte at a time.
//
// Input: one byte n (taken modulo 16), then n piece lengths of one byte each
// (used in turn, a zero length taken as 1), then the stream.

#include "fuzz_check.h"
#include "sim_mount.h"

#include <memory>
#include <vector>

using namespace orvane;

namespace {

constexpr uint32_t kStartMs = 4000000000u; // near the clock wrap

struct Rig {
    SimClock clock{kStartMs};
    SimSky sky{kStartMs};
    SimMount mount{sky, clock, SimMountOptions{7.5, 30}};
    QByteArray replies;
};

QString stateOf(Rig &rig)
{
    QString moving;
    for (char d : {'n', 's', 'e', 'w'})
        moving += rig.mount.moving(d) ? QChar::fromLatin1(d) : u'-';
    const QPointF v = rig.sky.mountVelocity();
    const QPointF later = rig.sky.offsetAt(kStartMs + 60000);
    return QStringLiteral("replies %1, rate %2, moving %3, commands %4, velocity %5,%6, offset a minute on %7,%8")
        .arg(QString::fromLatin1(rig.replies.toHex()))
        .arg(rig.mount.rateMultiple())
        .arg(moving)
        .arg(rig.mount.commandCount())
        .arg(v.x(), 0, 'g', 17)
        .arg(v.y(), 0, 'g', 17)
        .arg(later.x(), 0, 'g', 17)
        .arg(later.y(), 0, 'g', 17);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    size_t at = 0;
    const size_t pieceCount = data[at++] % 16;
    std::vector<size_t> pieces;
    for (size_t i = 0; i < pieceCount && at < size; ++i)
        pieces.push_back(std::max<size_t>(data[at++], 1));
    if (pieces.empty())
        pieces.push_back(1);
    const QByteArray stream(reinterpret_cast<const char *>(data + at), qsizetype(size - at));

    auto whole = std::make_unique<Rig>();
    whole->mount.receive(stream);
    whole->replies = whole->mount.takeReplies();

    auto cut = std::make_unique<Rig>();
    for (qsizetype from = 0, i = 0; from < stream.size(); ++i) {
        const qsizetype length = qsizetype(pieces[size_t(i) % pieces.size()]);
        cut->mount.receive(stream.mid(from, length));
        cut->replies += cut->mount.takeReplies();
        from += length;
    }

    auto bytewise = std::make_unique<Rig>();
    for (char byte : stream) {
        bytewise->mount.receive(QByteArray(1, byte));
        bytewise->replies += bytewise->mount.takeReplies();
    }

    const QString expected = stateOf(*whole);
    FUZZ_CHECK(stateOf(*cut) == expected, QStringLiteral("in pieces: %1\nat once: %2").arg(stateOf(*cut), expected));
    FUZZ_CHECK(stateOf(*bytewise) == expected,
               QStringLiteral("a byte at a time: %1\nat once: %2").arg(stateOf(*bytewise), expected));

    // Every alignment query is answered with one P; besides those only the
    // pointing queries (:GR#, :GD#) are answered, each by one "#"-ended text.
    FUZZ_CHECK(whole->replies.count('P') == stream.count(SimMount::kAck), "not one P per alignment query");
    FUZZ_CHECK(whole->replies.count('#') <= stream.count("GR#") + stream.count("GD#"), "an answer no query asked for");
    FUZZ_CHECK(whole->mount.commandCount() <= stream.count('#'), "more commands carried out than ended");
    const double rate = whole->mount.rateMultiple();
    FUZZ_CHECK(rate == 1 || rate == SimMount::kCenteringRate || rate == SimMount::kFindRate || rate == SimMount::kSlewRate,
               "a rate the mount does not have");
    return 0;
}
