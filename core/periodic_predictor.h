#pragma once
// The mount's own error learned while it guides: the sky's motion of the star
// (its place less every correction sent) fitted by a steady drift and a
// periodic error of a known period with its first harmonics, by recursive least
// squares that slowly forgets, so a changing drift is followed. Once a period
// has been seen, the motion it predicts for the next guide interval is
// corrected ahead, before the star shows it.

#include <QPointF>

#include <array>
#include <optional>

namespace orvane {

class PeriodicPredictor {
public:
    static constexpr int kHarmonics = 3;              // the worm's turn and two harmonics
    static constexpr int kTerms = 2 + 2 * kHarmonics; // place, drift, a sine and a cosine each
    static constexpr double kMemoryPeriods = 4;       // samples older than this many periods weigh 1/e
    static constexpr double kReadyPeriods = 1;        // predictions only after this much is learned

    // Forgets everything learned; the period in seconds (above 0).
    void reset(double periodS);
    // The sky's own offset of the star at `seconds` (any steady clock), pixels.
    void learn(double seconds, QPointF skyPx);
    // How far the sky will move the star from `fromS` to `toS`, pixels; nothing
    // until a period's worth has been learned.
    std::optional<QPointF> motion(double fromS, double toS) const;
    bool ready() const;
    double periodS() const { return periodS_; }

private:
    using Vector = std::array<double, kTerms>;
    Vector basis(double seconds) const;

    double periodS_ = 0;
    bool started_ = false;
    double firstS_ = 0, lastS_ = 0; // seconds of the first and the last sample
    Vector x_{}, y_{};              // the fitted terms of each picture axis
    std::array<Vector, kTerms> p_{}; // the fit's covariance, shared by both axes (same basis)
};

} // namespace orvane
