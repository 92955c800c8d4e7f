// The guide cycle's own steps: find the guide star in its box, draw the box,
// and start at most one correction move.
#include "rig.h"

#include "numbers.h"
#include "star_check.h"

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

constexpr int kRunLength = 6;         // pixels in the horizontal run the search sums
constexpr double kMoveThresholdPx = 2; // a drift above this starts a correction
constexpr uint32_t kBoxColour = 255;   // red

} // namespace

void Rig::MeasureGuideStar()
{
    const SequenceState &seq = c_.sequence;
    const double half = c_.settings.GuideBoxSize / 2.0; // pixels; half a pixel for odd sizes

    // Half-pixel coordinates map to pixels by the same rule everywhere (nearest,
    // ties to even), so the run's first window ends just left of the first column
    // compared and the box outline lies on the searched area's edges.
    const int top = PictureArea::pixelIndex(seq.StarY - half);
    const int bottom = PictureArea::pixelIndex(seq.StarY + half);
    const int left = PictureArea::pixelIndex(seq.StarX - half);
    const int right = PictureArea::pixelIndex(seq.StarX + half);
    const int firstColumn = left + kRunLength; // the first run compared ends here

    // Outside the picture every pixel reads black, and a black run never beats
    // the best sum (only a strictly greater sum wins), so the scan is limited to
    // the rows and columns that can hold light without changing the outcome.
    const int rowFrom = std::max(top, 0), rowTo = std::min(bottom, PictureArea::kHeight - 1);
    const int colFrom = std::max(firstColumn, 0);
    const int colTo = std::min(right, PictureArea::kWidth - 1 + kRunLength - 1);

    // Sums are exact in double precision (colour numbers are whole and < 2^24),
    // so equal runs stay equal and the first of them wins.
    double best = 0;
    int bestX = 0, bestY = 0;
    for (int y = rowFrom; y <= rowTo && colFrom <= colTo; ++y) {
        double sum = 0;
        for (int x = colFrom - kRunLength; x < colFrom; ++x)
            sum += c_.picture.pixel(x, y);
        for (int j = colFrom; j <= colTo; ++j) {
            sum += double(c_.picture.pixel(j, y)) - double(c_.picture.pixel(j - kRunLength, y));
            if (sum > best) {
                best = sum;
                bestY = y;
                bestX = j - 3; // the run's centre, three pixels left of its right end
            }
        }
    }
    c_.guiding.DriftX = float(bestX - seq.StarX);
    c_.guiding.DriftY = float(bestY - seq.StarY);

    // Without a run above black there is nothing to check; otherwise the run must
    // stand out of the box's noise and be more than one hot pixel.
    c_.guiding.StarFound = false;
    if (best > 0) {
        const PixelBox onPicture{std::max(left, 0), rowFrom, std::min(right, PictureArea::kWidth - 1), rowTo};
        const StarCheck check = checkStar(c_.picture, onPicture, bestX + 3, bestY);
        c_.guiding.StarFound = !check.onePixelPeak && check.snr >= c_.guiding.MinStarSnr;
    }
}

void Rig::DrawGuideBox()
{
    const SequenceState &seq = c_.sequence;
    const double half = c_.settings.GuideBoxSize / 2.0;
    c_.picture.drawBox(seq.StarX - half, seq.StarY + half, seq.StarX + half, seq.StarY - half, kBoxColour);
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

    const float ax = std::fabs(g.DriftX), ay = std::fabs(g.DriftY);
    QString direction;
    if (ax > kMoveThresholdPx && ay < ax) {
        g.MoveDirX = g.DriftX > 0 ? 1 : -1;
        direction = g.DriftX > 0 ? s.DirLeft : s.DirRight;
    } else if (ay > kMoveThresholdPx && ax <= ay) {
        g.MoveDirY = g.DriftY > 0 ? 1 : -1;
        direction = g.DriftY > 0 ? s.DirDown : s.DirUp;
    }
    if (g.MoveDirX != 0 || g.MoveDirY != 0)
        sendGuideMove(direction);

    g.MoveClock = c_.clock.now();
    c_.panel.showDrift(numberText(double(g.DriftX)), numberText(double(g.DriftY)));
}

} // namespace orvane
