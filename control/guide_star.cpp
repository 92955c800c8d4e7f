// The guide cycle's own steps: find the guide star in its box, draw the box,
// and start at most one correction move.
#include "rig.h"

#include "move_decision.h"
#include "numbers.h"
#include "star_measurement.h"
#include "star_profile.h"

#include <cmath>

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
    GuidingState &g = c_.guiding;
    // The box stays on the mark; the star is held at the lock position within it.
    PixelView view = viewOf(c_.picture.surface());
    // Measured on a copy with the dark taken off: the picture shown and saved stays as the camera gave it.
    std::vector<uint32_t> cleaned;
    if (const GuideDark *dark = guideDarkFor(view)) {
        cleaned = withoutDark(view, *dark);
        view = {cleaned.data(), view.width, view.height, view.width};
    }
    const double lockX = seq.StarX + g.LockDX, lockY = seq.StarY + g.LockDY; // pixels
    const StarMeasurement m = g.Algorithm->measure(view, lockX, lockY, c_.settings.GuideBoxSize, g.MinStarSnr);
    g.DriftX = float(m.driftX);
    g.DriftY = float(m.driftY);
    g.StarFound = m.found;
    g.StarSnr = m.snr;
    g.StarMass = m.found ? m.mass : 0;
    g.StarPeak = m.found ? peakAbove(view, lockX + m.driftX, lockY + m.driftY, m.background) : 0;
    g.StarsUsed = m.found ? 1 : 0;
    if (g.Algorithm->twoAxis && !g.OtherStars.empty())
        combineOtherStars(view, lockX, lockY, m);
}

const GuideDark *Rig::guideDarkFor(const PixelView &view) const
{
    GuidingState &g = c_.guiding;
    const GuideDark *dark = g.Dark.get();
    if (!dark || dark->width != view.width || dark->height != view.height)
        return nullptr;
    if (g.GuideExposureMs <= 0 || g.GuideExposureMs == dark->exposureMs)
        return dark;
    const std::pair told{dark->exposureMs, g.GuideExposureMs};
    if (g.DarkMismatchTold != told) {
        g.DarkMismatchTold = told;
        c_.panel.notify(QStringLiteral("The guide darks were taken at %1 s, but the guide frames are now %2 s, so the "
                                       "darks are not taken off them. For new ones: cover the telescope and choose "
                                       "Guide > Take guide darks… (they are taken at \"Guide sec\").")
                            .arg(dark->exposureMs / 1000.0, 0, 'g', 4)
                            .arg(g.GuideExposureMs / 1000.0, 0, 'g', 4));
    }
    return nullptr;
}

void Rig::lockOnMark()
{
    GuidingState &g = c_.guiding;
    g.MarkDX = g.MarkDY = g.LockDX = g.LockDY = 0;
    g.Tracker.reset();
    g.OtherStars.clear();
    g.Predictor.reset(g.Options.predictPeriodS); // a new mark may follow a slew: the mount's error is learned anew
    g.PredictBaseMs = c_.clock.now();
    g.CorrectedPx = {};
    g.LastStepMs.reset();
    if (!g.Algorithm->twoAxis)
        return; // the box way holds the star on the whole pixel marked
    const SequenceState &seq = c_.sequence;
    const QImage picture = currentPicture(c_.picture);
    const StarMeasurement m =
        g.Algorithm->measure(viewOf(picture), seq.StarX, seq.StarY, c_.settings.GuideBoxSize, g.MinStarSnr);
    if (m.found) {
        g.MarkDX = g.LockDX = m.driftX;
        g.MarkDY = g.LockDY = m.driftY;
        chooseOtherStars(viewOf(picture));
    }
}

void Rig::DrawGuideBox()
{
    const SequenceState &seq = c_.sequence;
    const double half = c_.settings.GuideBoxSize / 2.0;
    c_.picture.drawBox(seq.StarX - half, seq.StarY + half, seq.StarX + half, seq.StarY - half, kBoxColour);
}

StarSearch Rig::starNear(int x, int y) const
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

StarChoice Rig::chooseStar() const
{
    const QImage picture = currentPicture(c_.picture);
    PixelView view = viewOf(picture);
    std::vector<uint32_t> cleaned;
    if (const GuideDark *dark = guideDarkFor(view)) {
        cleaned = withoutDark(view, *dark);
        view = {cleaned.data(), view.width, view.height, view.width};
    }
    StarChoiceLimits limits;
    limits.boxSize = c_.settings.GuideBoxSize;
    limits.minSnr = 2 * c_.guiding.MinStarSnr;
    return chooseGuideStar(view, limits);
}

void Rig::StartGuideMove()
{
    GuidingState &g = c_.guiding;
    g.Planned = {};
    if (g.Algorithm->twoAxis) {
        startTwoAxisMoves();
        return;
    }
    const Settings &s = c_.settings;
    g.MoveDirX = 0;
    g.MoveDirY = 0;
    if (!g.Options.pulse)
        sendStopAll(); // a lost star also ends the correction still running

    if (!g.StarFound) {
        // No star in the box: its drift is no measurement, so nothing moves.
        g.MoveClock = c_.clock.now();
        c_.panel.showDrift(QStringLiteral("-"), QStringLiteral("-"));
        return;
    }

    MoveDecision move = decideMove(g.DriftX, g.DriftY, {s.DirUp, s.DirDown, s.DirLeft, s.DirRight});
    if (move.moves() && !guidingMaySend(g.Options, move.direction))
        move = MoveDecision{}; // [guiding] decMode: this Dec letter is not sent
    g.MoveDirX = move.dirX;
    g.MoveDirY = move.dirY;
    g.MoveClock = c_.clock.now();
    if (move.moves())
        recordBoxMove(move.direction);
    if (move.moves() && !g.Options.pulse)
        sendGuideMove(move.direction);
    if (move.moves() && g.Options.pulse) {
        // The mount times the move: as long as the move timer would have let it run.
        const std::optional<uint32_t> end = nextMoveCheckMs();
        sendPulse(move.direction, end ? int32_t(elapsedMs(g.MoveClock, *end)) : 0);
        g.MoveDirX = 0;
        g.MoveDirY = 0;
    }

    c_.panel.showDrift(numberText(double(g.DriftX)), numberText(double(g.DriftY)));
}

void Rig::recordBoxMove(const QString &direction)
{
    GuidingState &g = c_.guiding;
    const double px = g.MoveDirX != 0 ? double(g.DriftX) : double(g.DriftY);
    const double rate = c_.settings.PixPerSec;
    AxisMove &axis = g.MoveDirX != 0 ? g.Planned.x : g.Planned.y;
    axis.dir = g.MoveDirX != 0 ? g.MoveDirX : g.MoveDirY;
    axis.direction = direction;
    axis.ms = rate > 0 ? int32_t(std::lround(std::fabs(px) * 1000.0 / rate)) : 0;
    axis.px = px;
}

} // namespace orvane
