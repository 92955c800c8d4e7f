// The centroid way's own error against the Cramér-Rao bound of the simulated
// star: a lone star of the simulated camera (Gaussian PSF, shot and read noise,
// grey levels rounded) at random places within a pixel, measured by
// measureCentroid at signal-to-noise 10, 30 and 100 (as the measurement counts
// it). The bound is the least RMS error any unbiased estimate of the star's
// place can have on these pixels, from their Fisher information, per axis.
// Goal: within 1.5 times the bound.

#include "bench_row.h"
#include "centroid_measurement.h"
#include "star_field.h"

#include <QImage>

#include <cmath>
#include <cstdio>

using namespace orvane;

namespace {

constexpr int kTrials = 300;
constexpr int kBoxPx = 20;

struct Figures {
    double snr = 0, errorPx = 0, boundPx = 0; // per axis
};

// The Fisher information about the star's x on the pixels around it (1 / px^2),
// the star's peak `peakAdu` above `backgroundAdu`, as the renderer draws it.
double fisherX(const SensorModel &s, double peakAdu, double cx, double cy)
{
    const double sigma = s.psfSigmaPx;
    double information = 0;
    for (int y = int(cy) - kBoxPx; y <= int(cy) + kBoxPx; ++y)
        for (int x = int(cx) - kBoxPx; x <= int(cx) + kBoxPx; ++x) {
            const double dx = x - cx, dy = y - cy;
            const double g = std::exp(-(dx * dx + dy * dy) / (2 * sigma * sigma));
            const double signal = peakAdu * g;
            const double slope = signal * dx / (sigma * sigma); // d(mean level) / d(cx)
            const double variance = s.readNoiseAdu * s.readNoiseAdu + s.shotNoiseFactor * signal + 1.0 / 12.0;
            information += slope * slope / variance;
        }
    return information;
}

Figures measureAt(const StarField &field, const SensorModel &sensor, double peakAdu, uint64_t seed)
{
    SensorModel s = sensor;
    s.peakAduPerSecond = peakAdu; // one second of light
    SplitMix place(seed);
    double snr = 0, squared = 0, bound = 0;
    for (int t = 0; t < kTrials; ++t) {
        const QPointF offset(place.uniform(), place.uniform());
        const QImage frame = field.render({{offset, 1.0}}, 1.0, s, seed * 7919 + uint64_t(t));
        const PixelView view{reinterpret_cast<const uint32_t *>(frame.constBits()), frame.width(), frame.height(),
                             frame.bytesPerLine() / 4};
        const QPointF truth = field.guideStar() + offset;
        const StarMeasurement m =
            measureCentroid(view, std::round(truth.x()), std::round(truth.y()), kBoxPx, 0.0);
        const double ex = std::round(truth.x()) + m.driftX - truth.x();
        const double ey = std::round(truth.y()) + m.driftY - truth.y();
        squared += (ex * ex + ey * ey) / 2;
        snr += m.snr;
        bound += 1.0 / fisherX(s, peakAdu, truth.x(), truth.y());
    }
    return {snr / kTrials, std::sqrt(squared / kTrials), std::sqrt(bound / kTrials)};
}

// The star's peak that gives `snr` as the measurement counts it (bisection on a log scale).
Figures atSnr(const StarField &field, const SensorModel &sensor, double snr)
{
    double low = 0.2, high = 400; // ADU
    Figures f;
    for (int round = 0; round < 14; ++round) {
        const double peak = std::sqrt(low * high);
        f = measureAt(field, sensor, peak, 11);
        if (std::fabs(f.snr / snr - 1) < 0.03)
            break;
        (f.snr < snr ? low : high) = peak;
    }
    return measureAt(field, sensor, std::sqrt(low * high), 23); // fresh noise for the figure
}

} // namespace

int main()
{
    const StarField field(1957, 0, 0); // the guide star alone, no hot pixel
    const SensorModel sensor;
    std::printf("centroid error against the Cramér-Rao bound, %d stars each, FWHM %.2f px\n", kTrials,
                sensor.psfSigmaPx * 2.3548);
    for (const double snr : {10.0, 30.0, 100.0}) {
        const Figures f = atSnr(field, sensor, snr);
        std::printf("  SNR %5.1f: error %.4f px, bound %.4f px, %.2f x\n", f.snr, f.errorPx, f.boundPx,
                    f.errorPx / f.boundPx);
        bench::tableRow(bench::format("centroid error per axis at SNR %.0f / Cramér-Rao bound", snr),
                        bench::format("%.2f x (%.3f px, SNR %.1f)", f.errorPx / f.boundPx, f.errorPx, f.snr),
                        bench::format("bound %.3f px", f.boundPx), "within 1.5x of the bound");
    }
    return 0;
}
