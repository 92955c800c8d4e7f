#include "guide_dark.h"

#include "file_rewrite.h"

#include <QDataStream>
#include <QFile>
#include <QIODevice>

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

constexpr double kMadToSigma = 1.4826; // median absolute deviation to Gaussian sigma
constexpr double kNoiseFloor = 0.5;    // grey levels: an averaged dark still has quantisation noise
constexpr double kHotSigmas = 8;       // a pixel this far above the dark's median is hot
constexpr quint32 kMagic = 0x4F564447; // "OVDG"
constexpr quint32 kVersion = 1;
constexpr int kLargestSide = 8192;     // pixels: a file claiming more is damaged

double grey(uint32_t colour)
{
    return double((colour & 0xFF) + ((colour >> 8) & 0xFF) + ((colour >> 16) & 0xFF)) / 3.0;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

void findHot(GuideDark &dark)
{
    std::vector<double> levels(dark.level.begin(), dark.level.end());
    dark.medianLevel = median(levels);
    for (double &v : levels)
        v = std::fabs(v - dark.medianLevel);
    const double noise = std::max(kMadToSigma * median(levels), kNoiseFloor);
    dark.hot.assign(dark.level.size(), 0);
    dark.hotCount = 0;
    for (size_t i = 0; i < dark.level.size(); ++i)
        if (dark.level[i] > dark.medianLevel + kHotSigmas * noise) {
            dark.hot[i] = 1;
            ++dark.hotCount;
        }
    dark.clusteredHot = 0;
    for (int y = 0; y < dark.height; ++y)
        for (int x = 0; x < dark.width; ++x) {
            if (!dark.hot[size_t(y) * size_t(dark.width) + size_t(x)])
                continue;
            bool neighbour = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    neighbour = neighbour || ((dx || dy) && nx >= 0 && ny >= 0 && nx < dark.width &&
                                              ny < dark.height && dark.hot[size_t(ny) * size_t(dark.width) + size_t(nx)]);
                }
            dark.clusteredHot += neighbour ? 1 : 0;
        }
}

} // namespace

std::optional<GuideDark> combineDarks(const std::vector<PixelView> &frames, int32_t exposureMs)
{
    if (frames.empty() || frames[0].width <= 0 || frames[0].height <= 0)
        return std::nullopt;
    GuideDark dark;
    dark.width = frames[0].width;
    dark.height = frames[0].height;
    dark.exposureMs = exposureMs;
    dark.frames = int(frames.size());
    std::vector<double> sum(size_t(dark.width) * size_t(dark.height), 0);
    for (const PixelView &f : frames) {
        if (f.width != dark.width || f.height != dark.height)
            return std::nullopt;
        for (int y = 0; y < dark.height; ++y)
            for (int x = 0; x < dark.width; ++x)
                sum[size_t(y) * size_t(dark.width) + size_t(x)] += grey(f.pixel(x, y));
    }
    dark.level.resize(sum.size());
    for (size_t i = 0; i < sum.size(); ++i)
        dark.level[i] = float(sum[i] / double(frames.size()));
    findHot(dark);
    return dark;
}

std::vector<uint32_t> withoutDark(const PixelView &frame, const GuideDark &dark)
{
    const int w = frame.width, h = frame.height;
    std::vector<double> level(size_t(w) * size_t(h));
    const bool fits = w == dark.width && h == dark.height;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * size_t(w) + size_t(x);
            level[i] = grey(frame.pixel(x, y)) - (fits ? dark.level[i] - dark.medianLevel : 0.0);
        }
    if (fits)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const size_t i = size_t(y) * size_t(w) + size_t(x);
                if (!dark.hot[i])
                    continue;
                std::vector<double> around;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = x + dx, ny = y + dy;
                        if ((dx || dy) && nx >= 0 && ny >= 0 && nx < w && ny < h &&
                            !dark.hot[size_t(ny) * size_t(w) + size_t(nx)])
                            around.push_back(level[size_t(ny) * size_t(w) + size_t(nx)]);
                    }
                level[i] = around.empty() ? dark.medianLevel : median(around);
            }
    std::vector<uint32_t> words(level.size());
    for (size_t i = 0; i < level.size(); ++i) {
        const auto g = uint32_t(std::clamp(std::lround(level[i]), 0L, 255L));
        words[i] = 0xFF000000u | g * 0x010101u;
    }
    return words;
}

Result saveGuideDark(const QString &path, const GuideDark &dark)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    out << kMagic << kVersion << qint32(dark.width) << qint32(dark.height) << qint32(dark.exposureMs)
        << qint32(dark.frames);
    for (float v : dark.level)
        out << v;
    if (Result written = writeWholeFile(path, bytes); !written)
        return Result::failure(QStringLiteral("The guide darks were not kept: %1").arg(written.error()));
    return Result::success();
}

ResultOf<GuideDark> loadGuideDark(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ResultOf<GuideDark>::failure(
            QStringLiteral("The guide darks %1 cannot be read: %2.").arg(path, file.errorString()));
    QDataStream in(&file);
    in.setByteOrder(QDataStream::LittleEndian);
    in.setFloatingPointPrecision(QDataStream::SinglePrecision);
    quint32 magic = 0, version = 0;
    qint32 w = 0, h = 0, ms = 0, frames = 0;
    in >> magic >> version >> w >> h >> ms >> frames;
    const auto damaged = [&](const char *cause) {
        return ResultOf<GuideDark>::failure(QStringLiteral("The guide darks %1 cannot be used: %2; take them again "
                                                           "(Guide > Take guide darks…).")
                                                .arg(path, QLatin1String(cause)));
    };
    if (in.status() != QDataStream::Ok || magic != kMagic)
        return damaged("it is not a guide dark file");
    if (version != kVersion)
        return damaged("it was written by another version");
    if (w <= 0 || h <= 0 || w > kLargestSide || h > kLargestSide || ms <= 0 || frames <= 0)
        return damaged("its size or exposure is out of range");
    if (file.size() != 24 + qint64(w) * h * 4)
        return damaged("it is cut short or too long");
    GuideDark dark;
    dark.width = w;
    dark.height = h;
    dark.exposureMs = ms;
    dark.frames = frames;
    dark.level.resize(size_t(w) * size_t(h));
    for (float &v : dark.level) {
        in >> v;
        if (!std::isfinite(v))
            return damaged("it holds a level that is not a number");
    }
    if (in.status() != QDataStream::Ok)
        return damaged("it is cut short");
    findHot(dark);
    return dark;
}

} // namespace orvane
