#include "sim_camera.h"

#include <QFileInfo>
#include "ini_values.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvane {

// The camera state the port byte sets. When the user gives two states the same
// byte, the state earlier in this list wins.
namespace {
enum class CameraState { Exposing, ImageReadout, GuideReadout, Other };

CameraState stateOf(uint8_t value, const Settings &s)
{
    if (value == s.ExposureState)
        return CameraState::Exposing;
    if (value == s.GetImageState)
        return CameraState::ImageReadout;
    if (value == s.GetGuideState)
        return CameraState::GuideReadout;
    return CameraState::Other; // amplifier on, or a byte of no state
}

constexpr size_t kIntervalLimit = 10000; // older pieces of one exposure are merged beyond this
} // namespace

struct SimCamera::PortWatch {
    explicit PortWatch(const Settings &s) : settings(s) {}

    const Settings &settings;
    CameraState state = CameraState::Other;
    uint32_t exposingSinceMs = 0;
    std::vector<Interval> light; // gathered since the last image read-out
    std::optional<Readout> last;
    uint64_t readouts = 0;

    void onWrite(const PortWrite &write)
    {
        const CameraState next = stateOf(write.value, settings);
        if (next == state)
            return; // the camera stays as it is
        if (state == CameraState::Exposing && elapsedMs(exposingSinceMs, write.atMs) > 0)
            addLight({exposingSinceMs, write.atMs});
        switch (next) {
        case CameraState::Exposing:
            exposingSinceMs = write.atMs;
            break;
        case CameraState::ImageReadout: // reading the sensor out empties it
            last = Readout{Readout::Image, std::move(light), write.atMs, ++readouts};
            light.clear();
            break;
        case CameraState::GuideReadout:
            last = Readout{Readout::Guide, {}, write.atMs, ++readouts};
            break;
        case CameraState::Other:
            break;
        }
        state = next;
    }

    void addLight(Interval interval)
    {
        if (light.size() >= kIntervalLimit) { // keep the total, lose some of the early detail
            light[0].toMs = light[1].toMs;
            light.erase(light.begin() + 1);
        }
        light.push_back(interval);
    }
};

SimCamera::SimCamera(Clock &clock, CameraLines &port, const Settings &settings, const SimSky &sky,
                     SimCameraOptions options)
    : clock_(clock), sky_(sky), options_(std::move(options)),
      field_(options_.seed, options_.starsInFrame, options_.hotPixels),
      watch_(std::make_shared<PortWatch>(settings))
{
    watch_->state = stateOf(port.value(), settings);
    watch_->exposingSinceMs = clock.now();
    std::weak_ptr<PortWatch> watch = watch_;
    port.addListener([watch](const PortWrite &write) {
        if (auto alive = watch.lock())
            alive->onWrite(write);
    });
}

SimCamera::~SimCamera() = default;

Result SimCamera::connect()
{
    connected_ = true;
    return Result::success();
}

double SimCamera::gatheredSeconds() const
{
    int64_t ms = 0;
    for (const Interval &i : watch_->light)
        ms += elapsedMs(i.fromMs, i.toMs);
    if (watch_->state == CameraState::Exposing)
        ms += std::max(0, elapsedMs(watch_->exposingSinceMs, clock_.now()));
    return double(ms) / 1000.0;
}

std::optional<QImage> SimCamera::copyFrame()
{
    if (!connected_)
        return std::nullopt;
    const std::optional<Readout> &last = watch_->last;
    if (!sequencing_ || !last)
        return renderShort(clock_.now());
    if (cachedReadout_ != last->number) {
        cachedFrame_ = renderReadout(*last);
        cachedReadout_ = last->number;
    }
    return cachedFrame_;
}

uint64_t SimCamera::nextNoiseSeed()
{
    ++framesRendered_;
    // Each frame its own noise, the same in every run.
    return (uint64_t(options_.seed) << 32) ^ (framesRendered_ * 0x9E3779B97F4A7C15ull);
}

double SimCameraOptions::seeingFwhmAt(double seconds) const
{
    const double least = sensor.psfSigmaPx * 2.3548;
    if (seeingMaxFwhmPx <= least || seeingPeriodS <= 0)
        return least;
    // Two slow swings of unrelated periods, together from 0 to 1.
    const double turn = 2 * std::numbers::pi * seconds / seeingPeriodS;
    const double share = 0.5 - 0.3 * std::cos(turn) - 0.2 * std::cos(turn / 0.37 + 1.0);
    return least + (seeingMaxFwhmPx - least) * share;
}

SensorModel SimCamera::sensorAt(uint32_t atMs) const
{
    SensorModel sensor = options_.sensor;
    if (options_.seeingMaxFwhmPx > 0)
        sensor.psfSigmaPx = options_.seeingFwhmAt(sky_.secondsSinceStart(atMs)) / 2.3548;
    return sensor;
}

double SimCamera::sharedJitterPx() const
{
    const double shared = std::clamp(options_.jitterShared, 0.0, 1.0);
    return shared >= 1.0 ? options_.sensor.jitterPx : options_.sensor.jitterPx * std::sqrt(shared);
}

OwnJitter SimCamera::ownJitter(uint64_t seed) const
{
    const double own = 1.0 - std::clamp(options_.jitterShared, 0.0, 1.0);
    return {options_.sensor.jitterPx * std::sqrt(own), seed ^ 0x0CA1};
}

QImage SimCamera::renderShort(uint32_t atMs)
{
    const uint64_t seed = nextNoiseSeed();
    SplitMix jitter(seed ^ 0x5EE1);
    const double shared = sharedJitterPx();
    const QPointF wobble(shared * jitter.gaussian(), shared * jitter.gaussian());
    const std::vector<SkySample> samples{
        {sky_.offsetAt(atMs) + wobble, options_.guideExposureS, covered_ ? 0.0 : sky_.transparencyAt(atMs)}};
    if (guideWindows_)
        if (const std::vector<QRect> windows = guideWindows_(); !windows.empty())
            return field_.renderWindows(windows, samples, options_.guideExposureS, sensorAt(atMs), seed, ownJitter(seed));
    return field_.render(samples, options_.guideExposureS, sensorAt(atMs), seed, ownJitter(seed));
}

QImage SimCamera::renderReadout(const Readout &readout)
{
    if (readout.kind == Readout::Guide)
        return renderShort(readout.atMs);

    const uint64_t seed = nextNoiseSeed();
    SplitMix jitter(seed ^ 0x5EE1);
    int64_t totalMs = 0;
    for (const Interval &i : readout.light)
        totalMs += elapsedMs(i.fromMs, i.toMs);
    // Slices of at least sampleStepMs, few enough to keep the read-out quick.
    const int64_t stepMs = std::max<int64_t>({1, options_.sampleStepMs,
                                              totalMs / std::max(1, options_.maxSamples)});
    std::vector<SkySample> samples;
    const double shared = sharedJitterPx();
    for (const Interval &i : readout.light) {
        const int64_t length = elapsedMs(i.fromMs, i.toMs);
        const int64_t slices = (length + stepMs - 1) / stepMs;
        const double sliceMs = double(length) / double(slices);
        for (int64_t k = 0; k < slices; ++k) {
            const uint32_t at = i.fromMs + uint32_t(std::llround((double(k) + 0.5) * sliceMs));
            const QPointF wobble(shared * jitter.gaussian(), shared * jitter.gaussian());
            samples.push_back({sky_.offsetAt(at) + wobble, sliceMs / 1000.0, covered_ ? 0.0 : sky_.transparencyAt(at)});
        }
    }
    const uint32_t middleMs = readout.light.empty() ? readout.atMs
                                                    : readout.light.front().fromMs +
                                                          uint32_t(elapsedMs(readout.light.front().fromMs, readout.atMs) / 2);
    return field_.render(samples, double(totalMs) / 1000.0, sensorAt(middleMs), seed, ownJitter(seed));
}

QString SimCamera::dialogNote(CaptureDialog which) const
{
    switch (which) {
    case CaptureDialog::Format:
        return QStringLiteral("The simulated camera always delivers 640 x 480 grey frames.");
    case CaptureDialog::Source:
        return QStringLiteral("The simulated camera's settings are in the [camera] group of orvane.ini.");
    case CaptureDialog::Compression:
        return QStringLiteral("The simulated camera delivers uncompressed frames.");
    }
    return {};
}

// --- options ---

namespace {

// Reads one number of the [camera] group; keeps `value` when the key is absent
// or its value is refused (and told).
template <typename T>
void readNumber(IniValues &ini, const char *key, T &value)
{
    if (const std::optional<double> number = ini.number("camera", key, QString::number(double(value))))
        value = std::is_integral_v<T> ? T(std::llround(*number)) : T(*number);
}

} // namespace

SimCameraOptions SimCameraOptions::hardNight()
{
    SimCameraOptions o;
    o.sensor.peakAduPerSecond /= kHardNightStarDimming;
    o.sensor.psfSigmaPx = kHardNightSeeingFwhmPx / 2.3548;
    o.seeingMaxFwhmPx = kHardNightSeeingMaxFwhmPx;
    o.jitterShared = kHardNightJitterShared;
    return o;
}

SimCameraOptions SimCameraOptions::fromIni(const QString &iniPath)
{
    // The preset is told by the sky's reader when it names no night.
    SimCameraOptions o = hardSkyPreset(iniPath) ? hardNight() : SimCameraOptions{};
    double peak60 = o.guideStarPeakPer60s();
    double fwhm = o.sensor.psfSigmaPx * 2.3548;
    IniValues ini = IniValues::read(iniPath, o.problems);
    o.enabled = ini.truth("camera", "enabled", QStringLiteral("true")).value_or(o.enabled);
    readNumber(ini, "seed", o.seed);
    readNumber(ini, "stars", o.starsInFrame);
    readNumber(ini, "hotPixels", o.hotPixels);
    readNumber(ini, "guideExposureS", o.guideExposureS);
    readNumber(ini, "sampleStepMs", o.sampleStepMs);
    readNumber(ini, "maxSamples", o.maxSamples);
    readNumber(ini, "guideStarPeak60s", peak60);
    readNumber(ini, "seeingFwhmPx", fwhm);
    readNumber(ini, "jitterPx", o.sensor.jitterPx);
    readNumber(ini, "jitterShared", o.jitterShared);
    readNumber(ini, "seeingMaxFwhmPx", o.seeingMaxFwhmPx);
    readNumber(ini, "seeingPeriodS", o.seeingPeriodS);
    readNumber(ini, "biasAdu", o.sensor.biasAdu);
    readNumber(ini, "darkAduPerSecond", o.sensor.darkAduPerSecond);
    readNumber(ini, "readNoiseAdu", o.sensor.readNoiseAdu);
    readNumber(ini, "shotNoiseFactor", o.sensor.shotNoiseFactor);
    o.sensor.peakAduPerSecond = peak60 / 60.0;
    o.sensor.psfSigmaPx = fwhm / 2.3548;
    return o;
}

} // namespace orvane
