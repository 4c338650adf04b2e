#include <gtest/gtest.h>

#include "editor/graph_axes.h"
#include "editor/response_curve.h"

namespace tqm {
namespace {

TEST(ResponseCurve, PeakEqualsTheLevelAtTheCentreForEveryBandwidth) {
    for (const double level : {-20.0, -1.0, 10.0}) {
        for (const double centre : {100.0, 3200.0}) {
            for (int bwth = 1; bwth <= 10; ++bwth) {
                EXPECT_NEAR(ResponseCurve(level, centre, bwth, centre), level, 1e-9)
                    << level << " dB at " << centre << " Hz, bandwidth " << bwth;
            }
        }
    }
}

TEST(ResponseCurve, BoostAndCutAreMirrorImagesAndZeroLevelIsFlat) {
    for (const double f : {50.0, 180.0, 650.0, 700.0, 1234.0, 5000.0}) {
        for (int bwth : {1, 4, 10}) {
            EXPECT_NEAR(ResponseCurve(8.0, 700.0, bwth, f), -ResponseCurve(-8.0, 700.0, bwth, f), 1e-12);
            EXPECT_EQ(ResponseCurve(0.0, 700.0, bwth, f), 0.0);
        }
    }
}

TEST(ResponseCurve, FallsOffOnBothSidesFasterForLargerBandwidth) {
    for (const double f : {350.0, 1400.0}) {
        double previous = ResponseCurve(10.0, 700.0, 1, f);
        EXPECT_GT(previous, 0.0);
        EXPECT_LT(previous, 10.0);
        for (int bwth = 2; bwth <= 10; ++bwth) {
            const double current = ResponseCurve(10.0, 700.0, bwth, f);
            EXPECT_LT(current, previous) << "bandwidth " << bwth << " at " << f << " Hz";
            previous = current;
        }
    }
    // An octave below and above the centre are symmetric on the log axis.
    EXPECT_NEAR(ResponseCurve(6.0, 700.0, 3, 350.0), ResponseCurve(6.0, 700.0, 3, 1400.0), 1e-12);
}

TEST(ResponseCurve, OffBandsContributeNothing) {
    const EqualizerValues offBoosted{{0, 10, 1, 0, -20, 1, 0, 10, 10}};
    for (const double f : GRAPH_SAMPLE_FREQS) {
        EXPECT_EQ(sumResponse(offBoosted, f), 0.0) << f;
    }
    const EqualizerValues eq2Only{{0, 10, 1, 1, -6, 2, 0, 10, 10}};
    EXPECT_NEAR(sumResponse(eq2Only, 700.0), -6.0, 1e-9);
    EXPECT_NEAR(bandResponse(eq2Only, 1, 700.0), -6.0, 1e-9);
    EXPECT_EQ(bandResponse(eq2Only, 0, 700.0), 0.0);
}

}  // namespace
}  // namespace tqm
