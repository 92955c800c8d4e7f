// A night's run on the simulated rig: a thousand guided frames saved on the
// simulated clock, from an ordinary start and from 5 s before each wrap of the
// 32-bit millisecond clock. Every frame must be on disk under its name, every
// exposure exactly as long as asked, and the memory in use must not creep up.
// Then ten minutes of focusing with the Loop command, memory again flat.
#include "fault_fixture.h"
#include "frame_loop.h"

#include <QFile>

#include <unistd.h>

#include <chrono>
#include <iostream>

using namespace orvane;
using namespace orvane::test;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true; // freed memory is held back on purpose
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

constexpr int kFrames = 1000;
constexpr int64_t kExposureMs = 2000;

// Resident set size of this process, bytes (0 when it cannot be read).
int64_t residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * ::sysconf(_SC_PAGESIZE) : 0;
}

// Each image exposure's length, ms: from the exposure byte that follows an
// image read-out (or the one at Start) to the amplifier byte that ends it.
// Guide read-outs inside an exposure do not end it: the sensor integrates on.
std::vector<int64_t> exposureLengths(const std::vector<PortWrite> &writes, const Settings &s)
{
    std::vector<int64_t> lengths;
    bool started = false;
    uint32_t startMs = 0;
    for (size_t i = 0; i < writes.size(); ++i) {
        if (writes[i].value == s.ExposureState && i > 0 && writes[i - 1].value == s.GetImageState) {
            started = true;
            startMs = writes[i].atMs;
        } else if (writes[i].value == s.AmpOnState) {
            lengths.push_back(started ? int64_t(uint32_t(writes[i].atMs - startMs)) : -1);
            started = false;
        }
    }
    return lengths;
}

void soak(uint32_t startMs)
{
    FaultRig rig(kFrames, startMs);
    rig.panel.exposure = "2";
    rig.panel.guide = "0.5";
    int64_t residentAt100 = 0;
    std::function<void()> watch = [&] {
        if (rig.panel.status() == "Image 101") // frame 100 is read out and saved
            residentAt100 = residentBytes();
        else
            rig.pump.at(rig.clock.now() + 500, watch);
    };
    rig.pump.at(rig.clock.now() + 500, watch);

    const auto began = std::chrono::steady_clock::now();
    ASSERT_TRUE(rig.run());
    const int64_t residentAtEnd = residentBytes();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::cout << "soak from " << startMs << " ms: " << kFrames << " frames, "
              << double(uint32_t(rig.clock.now() - startMs)) / 60000.0 << " simulated minutes in " << seconds
              << " s; resident " << residentAt100 / 1024 << " KiB after frame 100, " << residentAtEnd / 1024
              << " KiB after frame " << kFrames << "\n";

    EXPECT_TRUE(rig.panel.messages.isEmpty()) << rig.panel.messages.join("\n").toStdString();
    EXPECT_TRUE(rig.panel.controls.notices.isEmpty()) << rig.panel.controls.notices.join("\n").toStdString();

    // Image001 ... Image999, Image1000, each a whole picture file.
    const QStringList names = rig.framesIn(rig.saveDir);
    EXPECT_EQ(names.size(), kFrames);
    EXPECT_TRUE(rig.wholeFrames(rig.saveDir, frameNames(1, kFrames)));
    EXPECT_TRUE(names.contains("Image999.bmp") && names.contains("Image1000.bmp"));

    const std::vector<int64_t> lengths = exposureLengths(rig.history, rig.settings);
    ASSERT_EQ(lengths.size(), size_t(kFrames));
    for (size_t i = 0; i < lengths.size(); ++i)
        ASSERT_EQ(lengths[i], kExposureMs) << "frame " << i + 1;

    EXPECT_EQ(rig.lastPortByte(), rig.settings.GetImageState);
    EXPECT_EQ(rig.tap.lastDelivered(), QByteArray(kStopAll));
    EXPECT_EQ(rig.tap.sends.back().bytes, QByteArray(kStopAll));
    EXPECT_FALSE(rig.comm.PortOpen());

    ASSERT_GT(residentAt100, 0);
    if (!kAddressSanitizer) { // its quarantine keeps freed blocks resident by design
        EXPECT_LT(residentAtEnd - residentAt100, 4 * 1024 * 1024) << "memory grew over 900 frames";
    }
}

} // namespace

TEST(SoakGuided, ThousandFramesSaved)
{
    soak(10000);
}

TEST(SoakGuided, ThousandFramesAcrossTheSignedWrap)
{
    soak(0x80000000u - 5000);
}

TEST(SoakGuided, ThousandFramesAcrossTheUnsignedWrap)
{
    soak(uint32_t(0x100000000ull - 5000));
}

TEST(SoakLoop, TenMinutesOfOneSecondFramesKeepMemoryFlat)
{
    SequenceTestRig rig({.startMs = 10000, .camera = RigCamera::SimulatedSky});
    rig.panel.exposure = "1";
    const QPointF star = rig.simCamera->starField().guideStar();
    rig.state.StarX = int16_t(std::lround(star.x()));
    rig.state.StarY = int16_t(std::lround(star.y()));
    rig.state.StarMarked = 1;
    FrameLoop loop(rig.rig, rig.panel);
    int profiles = 0;
    loop.showStarProfile = [&](const QString &text) { profiles += !text.isEmpty(); }; // a 1 s frame shows the star faintly
    int64_t residentAt50 = 0;
    const uint32_t endMs = rig.clock.now() + 600000;
    std::function<void()> watch = [&] {
        if (residentAt50 == 0 && loop.frames() >= 50)
            residentAt50 = residentBytes();
        if (reached(rig.clock.now(), endMs))
            loop.requestStop();
        else
            rig.pump.at(rig.clock.now() + 1000, watch);
    };
    rig.pump.at(rig.clock.now() + 1000, watch);
    loop.onLoopCommand();
    const int64_t residentAtEnd = residentBytes();
    std::cout << "loop: " << loop.frames() << " frames in 10 simulated minutes; resident " << residentAt50 / 1024
              << " KiB after frame 50, " << residentAtEnd / 1024 << " KiB at the end\n";

    EXPECT_GT(loop.frames(), 400); // 1 s exposure, 350 ms read-out
    EXPECT_EQ(profiles, loop.frames());
    EXPECT_EQ(rig.port.writes().back().value, rig.settings.GetImageState);
    EXPECT_TRUE(rig.panel.messages.isEmpty()) << rig.panel.messages.join("\n").toStdString();
    ASSERT_GT(residentAt50, 0);
    if (!kAddressSanitizer) {
        EXPECT_LT(residentAtEnd - residentAt50, 2 * 1024 * 1024) << "memory grew while looping";
    }
}
