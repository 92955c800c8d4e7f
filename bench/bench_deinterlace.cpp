// Deinterlace batch throughput: 200 frames of 640 x 480 rewritten in place by
// the deinterlace tool's batch, beside a plain copy of the same files made in
// the same run with std::filesystem::copy_file (the cost of just moving the
// bytes) and the same copy with each file flushed to the disk (fdatasync). The
// batch's rewrite is durable (a crash never leaves a cut frame), so it is held
// against the flushed copy: goal at least 1x its rate. The batch writes its
// files beside the old ones, flushes them together and then renames them.

#include "bench_row.h"
#include "deinterlace.h"
#include "picture_area.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>

#include <fcntl.h>
#include <unistd.h>

namespace {

using namespace orvane;

constexpr int kFiles = 200;
constexpr int kRounds = 3; // the best round of each counts

// The batch yields; here nothing else runs, so a yield does nothing.
class IdlePump : public EventPump {
public:
    void processEvents() override {}
    void processEventsOrSleep(uint32_t) override {}
    void processEventsOrWait() override {}
    void sleepWithoutEvents(uint32_t) override {}
};

QImage noiseFrame(uint32_t seed)
{
    QImage image(640, 480, QImage::Format_RGB32);
    std::mt19937 random(seed);
    for (int y = 0; y < image.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[x] = random() | 0xFF000000u;
    }
    return image;
}

// The copy, with every copied file flushed to the disk like the batch's saves.
bool flushToDisk(const std::filesystem::path &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return false;
    const bool ok = ::fdatasync(fd) == 0;
    ::close(fd);
    return ok;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QTemporaryDir dir; // removed with everything in it at the end
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_deinterlace: cannot make a temporary directory\n");
        return 1;
    }
    const QString frames = dir.filePath(QStringLiteral("frames"));
    const QString copies = dir.filePath(QStringLiteral("copies"));
    QDir().mkpath(frames);
    QDir().mkpath(copies);
    QStringList paths;
    for (int i = 0; i < kFiles; ++i) {
        const QString path = QDir(frames).filePath(QStringLiteral("frame%1.bmp").arg(i, 3, 10, QLatin1Char('0')));
        if (!noiseFrame(uint32_t(i)).save(path, "BMP")) {
            std::fprintf(stderr, "bench_deinterlace: cannot write %s\n", qPrintable(path));
            return 1;
        }
        paths.append(path);
    }

    PictureArea area;
    IdlePump pump;
    DeinterlaceBatch batch(area, pump, [](const QString &) {});
    DeinterlaceSelection selection;
    selection.heading = frames;
    selection.paths = paths;

    const auto copyAll = [&](bool flush) {
        for (const QString &path : paths) {
            const std::filesystem::path from = path.toStdString();
            const std::filesystem::path to = std::filesystem::path(copies.toStdString()) / from.filename();
            std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
            if (flush && !flushToDisk(to))
                std::fprintf(stderr, "bench_deinterlace: cannot flush %s\n", to.c_str());
        }
    };

    double bestCopy = 1e9, bestFlushedCopy = 1e9, bestBatch = 1e9; // seconds for all files
    for (int round = 0; round < kRounds; ++round) {
        auto start = std::chrono::steady_clock::now();
        copyAll(false);
        bestCopy = std::min(bestCopy, secondsSince(start));

        start = std::chrono::steady_clock::now();
        copyAll(true);
        bestFlushedCopy = std::min(bestFlushedCopy, secondsSince(start));

        start = std::chrono::steady_clock::now();
        const Result result = batch.run(selection);
        bestBatch = std::min(bestBatch, secondsSince(start));
        if (!result) {
            std::fprintf(stderr, "bench_deinterlace: %s\n", qPrintable(result.error()));
            return 1;
        }
    }

    std::printf("deinterlace batch: %d frames 640x480, best of %d rounds\n", kFiles, kRounds);
    std::printf("  baseline std::filesystem::copy_file:           %8.1f files/s (%.3f s)\n", kFiles / bestCopy, bestCopy);
    std::printf("  baseline copy_file + fdatasync each file:      %8.1f files/s (%.3f s)\n", kFiles / bestFlushedCopy,
                bestFlushedCopy);
    std::printf("  deinterlace load+fill+flushed atomic save:     %8.1f files/s (%.3f s)\n", kFiles / bestBatch, bestBatch);
    std::printf("  batch rate / plain copy rate: %.2fx; batch rate / flushed copy rate: %.2fx (goal: at least 1x)\n",
                bestCopy / bestBatch, bestFlushedCopy / bestBatch);

    using bench::format;
    bench::tableRow("deinterlace batch, 200 frames",
                    format("%.1f files/s (%.2fx the flushed copy)", kFiles / bestBatch, bestFlushedCopy / bestBatch),
                    format("copy %.1f files/s, flushed copy %.1f files/s", kFiles / bestCopy, kFiles / bestFlushedCopy),
                    "at least 1x the flushed copy's rate (a durable rewrite cannot beat the disk's flush)");
    return 0;
}
