// The whole simulated rig over one long exposure: the read-outs drive the
// simulated camera through the port bytes, guide cycles steer the simulated
// mount over the telescope link, and the guide star comes out round; without
// the guide cycles it trails.

#include "rig_builder.h"

#include <gtest/gtest.h>

#include <cmath>

namespace orvane::test {
namespace {

// The simulated camera and mount, the sky drifting 6 and 8 pixels a minute
// with the mount's periodic error.
struct SimulatedRig : TestRig {
    SimulatedRig()
        : TestRig({.camera = RigCamera::SimulatedSky, .link = RigLink::SimulatedMount, .linkOpen = true})
    {
        EXPECT_TRUE(comm.PortOpen());
        camera.setSequencing(true);
    }

    // One long exposure as the sequence runs it; guide cycles every
    // guideIntervalMs when guiding, else the exposure is simply waited out.
    QImage exposeMinute(bool guiding, int32_t guideIntervalMs = 3000)
    {
        panel.guiding = guiding;
        rig.writePort(settings.ExposureState);
        rig.ServicedWait(clock.now(), guideIntervalMs); // the first guide exposure
        rig.GrabGuideFrame();
        // The user clicks the guide star where the guide frame shows it.
        const QPointF star = simCamera->starField().guideStar() + sky.offsetAt(clock.now());
        state.StarX = int16_t(std::lround(star.x()));
        state.StarY = int16_t(std::lround(star.y()));
        rig.writePort(settings.GetImageState);

        const uint32_t exposureStart = clock.now();
        rig.writePort(settings.ExposureState);
        while (elapsedMs(exposureStart, clock.now()) < 60000) {
            const uint32_t cycleStart = clock.now();
            rig.ServicedWait(cycleStart, std::min<int32_t>(guideIntervalMs, 60000 - elapsedMs(exposureStart, cycleStart)));
            if (!guiding || elapsedMs(exposureStart, clock.now()) >= 60000)
                continue;
            rig.GrabGuideFrame();
            rig.MeasureGuideStar();
            rig.DrawGuideBox();
            rig.StartGuideMove();
        }
        rig.GrabImageFrame();
        return picture.picture();
    }
};

// Second moments (pixels squared) of the light above the background in a box.
std::pair<double, double> spread(const QImage &frame, int cx, int cy, int half)
{
    double sum = 0, sx = 0, sy = 0, sxx = 0, syy = 0;
    for (int y = cy - half; y <= cy + half; ++y)
        for (int x = cx - half; x <= cx + half; ++x) {
            const double w = std::max(0, qRed(frame.pixel(x, y)) - 30);
            sum += w;
            sx += w * x;
            sy += w * y;
            sxx += w * x * x;
            syy += w * y * y;
        }
    const double mx = sx / sum, my = sy / sum;
    return {sxx / sum - mx * mx, syy / sum - my * my};
}

TEST(GuidedExposure, GuidingKeepsTheGuideStarRoundWhereItTrailsWithout)
{
    SimulatedRig guided, unguided;
    const QImage round = guided.exposeMinute(true);
    const QImage trailed = unguided.exposeMinute(false);

    const auto [gx, gy] = spread(round, guided.state.StarX, guided.state.StarY, 14);
    const auto [ux, uy] = spread(trailed, unguided.state.StarX + 3, unguided.state.StarY + 4, 14);
    EXPECT_LT(gx + gy, 0.5 * (ux + uy)) << gx << " " << gy << " / " << ux << " " << uy;
    EXPECT_LT(gx, 2.5);
    EXPECT_LT(gy, 2.5);
    // The guide cycles kept the star near its mark: the mount was moved.
    EXPECT_GT(guided.mount.commandCount(), 4);
    EXPECT_EQ(unguided.mount.commandCount(), 0);
}

} // namespace
} // namespace orvane::test
