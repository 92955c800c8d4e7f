// The guide cycle's own steps: find the guide star in its box, draw the box,
// and start at most one correction move.
#include "rig.h"

#include "move_decision.h"
#include "numbers.h"
#include "star_measurement.h"

namespace orvane {

namespace {

constexpr uint32_t kBoxColour = 255; // red

PixelView viewOf(const QImage &surface)
{
    return {reinterpret_cast<const uint32_t *>(surface.constBits()), surface.width(), surface.height(),
            surface.bytesPerLine() / std::ptrdiff_t(sizeof(uint32_t))};
}

// The current picture as 32-bit rows; the drawn surface may hold a guide box.
QImage currentPicture(const PictureArea &area)
{
    return area.picture().convertToFormat(QImage::Format_RGB32);
}

} // namespace

void Rig::MeasureGuideStar()
{
    const SequenceState &seq = c_.sequence;
    const StarMeasurement m = c_.guiding.Algorithm->measure(viewOf(c_.picture.surface()), seq.StarX, seq.StarY,
                                                            c_.settings.GuideBoxSize, c_.guiding.MinStarSnr);
    c_.guiding.DriftX = float(m.driftX);
    c_.guiding.DriftY = float(m.driftY);
    c_.guiding.StarFound = m.found;
    c_.guiding.StarSnr = m.snr;
}

void Rig::DrawGuideBox()
{
    const SequenceState &seq = c_.sequence;
    const double half = c_.settings.GuideBoxSize / 2.0;
    c_.picture.drawBox(seq.StarX - half, seq.StarY + half, seq.StarX + half, seq.StarY - half, kBoxColour);
}

std::optional<StarPlace> Rig::starNear(int x, int y) const
{
    const QImage picture = currentPicture(c_.picture);
    return orvane::starNear(viewOf(picture), x, y, c_.settings.GuideBoxSize, c_.guiding.MinStarSnr,
                            c_.guiding.Algorithm->measure);
}

std::optional<StarProfile> Rig::markedStarProfile() const
{
    const QImage picture = currentPicture(c_.picture);
    const SequenceState &seq = c_.sequence;
    const PixelView view = viewOf(picture);
    if (!c_.guiding.Algorithm->measure(view, seq.StarX, seq.StarY, c_.settings.GuideBoxSize, c_.guiding.MinStarSnr).found)
        return std::nullopt;
    return starProfile(view, seq.StarX, seq.StarY, c_.settings.GuideBoxSize);
}

void Rig::StartGuideMove()
{
    GuidingState &g = c_.guiding;
    const Settings &s = c_.settings;
    g.MoveDirX = 0;
    g.MoveDirY = 0;
    sendStopAll(); // a lost star also ends the correction still running

    if (!g.StarFound) {
        // No star in the box: its drift is no measurement, so nothing moves.
        g.MoveClock = c_.clock.now();
        c_.panel.showDrift(QStringLiteral("-"), QStringLiteral("-"));
        return;
    }

    const MoveDecision move = decideMove(g.DriftX, g.DriftY, {s.DirUp, s.DirDown, s.DirLeft, s.DirRight});
    g.MoveDirX = move.dirX;
    g.MoveDirY = move.dirY;
    if (move.moves())
        sendGuideMove(move.direction);

    g.MoveClock = c_.clock.now();
    c_.panel.showDrift(numberText(double(g.DriftX)), numberText(double(g.DriftY)));
}

} // namespace orvane
