// Guide darks are taken off a guide frame only when they were taken at the
// guide exposure in use; darks of another exposure are left off and told of
// once for each pair of exposures, with how to take new ones.
#include "rig_fixture.h"

using namespace orvane;

TEST(GuideDarkUse, DarksOfAnotherExposureAreLeftOffAndToldOnce)
{
    test::TestRig r;
    r.settings.GuideBoxSize = 20;
    r.state.StarX = 300;
    r.state.StarY = 200;
    // A warm patch of the sensor that looks like a star: the dark holds it as it is.
    GuideDark dark;
    dark.width = r.picture.picture().width();
    dark.height = r.picture.picture().height();
    dark.exposureMs = 1000;
    dark.level.assign(size_t(dark.width) * dark.height, 0.0f);
    dark.hot.assign(dark.level.size(), 0);
    for (int y = 199; y <= 201; ++y)
        for (int x = 299; x <= 301; ++x) {
            r.picture.setPixel(x, y, 0xC8C8C8);
            dark.level[size_t(y) * dark.width + x] = 200;
        }
    r.guiding.Dark = std::make_shared<const GuideDark>(dark);

    struct Case {
        int32_t guideMs;
        bool darkTakenOff;
        int notices; // told so far
    };
    for (const Case c : {Case{1000, true, 0}, Case{0, true, 0}, Case{2000, false, 1}, Case{2000, false, 1},
                         Case{1000, true, 1}, Case{2000, false, 1}, Case{3000, false, 2}}) {
        SCOPED_TRACE(c.guideMs);
        r.guiding.GuideExposureMs = c.guideMs;
        r.rig.MeasureGuideStar();
        EXPECT_EQ(r.guiding.StarFound, !c.darkTakenOff) << "the warm patch is gone only with the dark taken off";
        ASSERT_EQ(r.panel.notices.size(), c.notices);
    }
    EXPECT_EQ(r.panel.notices.back().toStdString(),
              "The guide darks were taken at 1 s, but the guide frames are now 3 s, so the darks are not taken off "
              "them. For new ones: cover the telescope and choose Guide > Take guide darks… (they are taken at "
              "\"Guide sec\").");
}
