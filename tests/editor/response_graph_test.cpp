#include <array>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "editor/graph_axes.h"
#include "editor/graph_palette.h"
#include "editor/response_curve.h"
#include "editor/response_graph.h"

namespace tqm {
namespace {

constexpr std::uint32_t kBandColour[] = {0xFFFF0000u, 0xFF0000FFu, 0xFF00FF00u};  // EQ1 red, EQ2 blue, EQ3 green
constexpr std::uint32_t kRed = kBandColour[0];
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kBlack = 0xFF000000u;

const EqualizerValues kAllOff{{0, 5, 10, 0, 5, 10, 0, 5, 10}};
// EQ1 at 300 Hz, +10 dB, the widest band: a curve that climbs and falls at every slope.
const EqualizerValues kBoost{{3, 10, 1, 0, 5, 10, 0, 5, 10}};

using Picture = std::vector<std::uint32_t>;

Picture shownPicture(const ResponseGraph& graph) {
    return {graph.picture(), graph.picture() + graph.width() * graph.height()};
}
Picture render(ResponseGraph& graph, const EqualizerValues& values, int activeBand) {
    EXPECT_TRUE(graph.open());
    graph.drawCurves(values, activeBand);
    graph.close();
    return shownPicture(graph);
}

// Pixels of the colour in the rectangle [x0, x1) x [y0, y1), by default whole columns.
int countIn(const ResponseGraph& graph, std::uint32_t colour, int x0, int x1, int y0 = 0, int y1 = kGraphHeight) {
    int count = 0;
    for (int x = x0; x < x1; ++x) {
        for (int y = y0; y < y1; ++y) count += graph.pixel(x, y) == colour ? 1 : 0;
    }
    return count;
}

TEST(ResponseCurve, PeaksAtTheLevelMirrorsCutAndBoostAndFallsOffFasterForLargerBandwidth) {
    for (int bwth = 1; bwth <= 10; ++bwth) {
        for (const double level : {-20.0, -1.0, 10.0}) {
            EXPECT_NEAR(ResponseCurve(level, 100.0, bwth, 100.0), level, 1e-9) << level << " dB, bandwidth " << bwth;
            EXPECT_NEAR(ResponseCurve(level, 3200.0, bwth, 3200.0), level, 1e-9);
        }
        for (const double f : {50.0, 350.0, 650.0, 1234.0, 1400.0, 5000.0}) {
            EXPECT_NEAR(ResponseCurve(8.0, 700.0, bwth, f), -ResponseCurve(-8.0, 700.0, bwth, f), 1e-12);
            EXPECT_EQ(ResponseCurve(0.0, 700.0, bwth, f), 0.0);
            if (f != 350.0 && f != 1400.0) continue;
            const double here = ResponseCurve(10.0, 700.0, bwth, f);
            const double wider = bwth > 1 ? ResponseCurve(10.0, 700.0, bwth - 1, f) : 10.0;
            EXPECT_TRUE(here > 0.0 && here < wider) << "bandwidth " << bwth << " at " << f;
        }
        // An octave below and above the centre are symmetric on the log axis.
        EXPECT_NEAR(ResponseCurve(6.0, 700.0, bwth, 350.0), ResponseCurve(6.0, 700.0, bwth, 1400.0), 1e-12);
    }
    for (const double f : GRAPH_SAMPLE_FREQS) EXPECT_EQ(sumResponse({{0, 10, 1, 0, -20, 1, 0, 10, 10}}, f), 0.0) << f;
    const EqualizerValues eq2Only{{0, 10, 1, 1, -6, 2, 0, 10, 10}};
    EXPECT_NEAR(sumResponse(eq2Only, 700.0), -6.0, 1e-9);
    EXPECT_EQ(bandResponse(eq2Only, 0, 700.0), 0.0);
}

TEST(ResponseGraph, StartsWhiteAndDrawsTheGridOnOpen) {
    ResponseGraph graph;
    EXPECT_EQ(shownPicture(graph), Picture(kGraphWidth * kGraphHeight, kWhite));
    render(graph, kAllOff, 0);  // no curves for an active band outside 1..3

    const std::array<int, 19> columns = {0,   35,  91,  135, 214, 270, 314, 350, 406, 450,
                                         485, 541, 585, 664, 720, 764, 800, 856, 900};
    for (std::size_t i = 0; i < columns.size(); ++i) {
        EXPECT_TRUE(graph.pixel(columns[i], 1) == kGridColour && graph.pixel(columns[i], 4) == kWhite &&
                    graph.pixel(columns[i] + 1, 1) == kWhite)
            << "dotted, one pixel wide: " << columns[i];
    }
    EXPECT_EQ(countIn(graph, kGridColour, 0, kGraphWidth, 1, 2), 19);
    std::vector<int> rows;  // down from the top to 160 and from 175 on, the 0 dB axis solid
    for (int y = 0; y < kGraphHeight; ++y) {
        if (graph.pixel(1, y) == kGridColour) rows.push_back(y);
    }
    EXPECT_EQ(rows, (std::vector<int>{0, 16, 32, 48, 64, 80, 96, 112, 128, 144, 160, 175, 176, 177, 191, 207, 223,
                                      239, 255, 271, 287, 303, 319, 335, 351}));
    EXPECT_EQ(countIn(graph, kGridColour, 0, 900, 176, 177), 900) << "the 0 dB axis is solid";
    EXPECT_TRUE(graph.pixel(4, 191) == kWhite && graph.pixel(900, 348) == kGridColour && graph.pixel(901, 1) == kWhite)
        << "grid rows are dotted, columns run to the bottom";
}

TEST(ResponseGraph, TheActiveBandIsDrawnLastAndTheSumFirst) {
    // All bands off: a flat line in the colour of the band drawn last, clipped at x = 900.
    // With only the active band boosted (at its lowest frequency), the two other bands
    // still share the 0 dB row at the left edge: the later of them shows there. At the
    // peak the sum and the active band coincide: the band lies on top.
    struct Case { int active; EqualizerValues values; std::uint32_t laterOther; int peakX; } const cases[] = {
        {1, {{1, 10, 1, 0, 5, 10, 0, 5, 10}}, kBandColour[1], 135},
        {2, {{0, 5, 10, 1, 10, 1, 0, 5, 10}}, kRed, 515},
        {3, {{0, 5, 10, 0, 5, 10, 1, 10, 1}}, kRed, 664},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.active);
        ResponseGraph graph;
        render(graph, kAllOff, c.active);
        EXPECT_EQ(countIn(graph, kBandColour[c.active - 1], 0, 900, 176, 177), 900);
        EXPECT_TRUE(countIn(graph, kGridColour, 0, 900, 175, 178) == 2 * 900 && graph.pixel(900, 176) == kGridColour &&
                    countIn(graph, kBlack, 300, 301) == 0);
        render(graph, c.values, c.active);
        EXPECT_TRUE(graph.pixel(5, 176) == c.laterOther && graph.pixel(c.peakX, 96) == kBandColour[c.active - 1] &&
                    countIn(graph, kBlack, c.peakX, c.peakX + 1) == 0);
    }
}

TEST(ResponseGraph, TheCurveKeepsItsHeightAtTheCentreForEveryBandwidthAndASumAboveTheTopIsCutOff) {
    ResponseGraph graph;
    for (const int bwth : {1, 10}) {  // EQ1 at 500 Hz; a cut mirrors the boost about the axis
        render(graph, EqualizerValues{{5, 10, bwth, 0, 5, 10, 0, 5, 10}}, 1);
        EXPECT_EQ(graph.pixel(450, 96), kRed) << bwth;
        render(graph, EqualizerValues{{5, -10, bwth, 0, 5, 10, 0, 5, 10}}, 1);
        EXPECT_EQ(graph.pixel(450, 256), kRed) << bwth;
    }
    // EQ1 and EQ2 both at 700 Hz, EQ3 at 1500 Hz, all +10 dB wide: about +26 dB at 700 Hz.
    render(graph, EqualizerValues{{7, 10, 1, 1, 10, 1, 1, 10, 1}}, 1);
    const int at700 = static_cast<int>(graphX(700.0));
    EXPECT_TRUE(countIn(graph, kBlack, at700, at700 + 1) == 0 && countIn(graph, kBlack, 100, 101) > 0)
        << "the sum passes above the picture";
    EXPECT_GT(countIn(graph, kBlack, 0, kGraphWidth, 0, 1), 0) << "the sum leaves through the top edge";
}

TEST(ResponseGraph, ASecondOpenWhileBusyLeavesTheFirstDrawingUntouched) {
    ResponseGraph graph;
    const Picture shownBefore = render(graph, kAllOff, 1);
    ASSERT_TRUE(graph.open() && graph.isBusy());
    graph.drawCurves(kBoost, 1);
    EXPECT_TRUE(!graph.open() && shownPicture(graph) == shownBefore) << "nothing shows before close";
    graph.close();
    EXPECT_FALSE(graph.isBusy());
    graph.drawCurves(kAllOff, 2);  // no drawing open: nothing happens
    EXPECT_TRUE(graph.pixel(350, 96) == kRed && countIn(graph, kRed, 350, 351) == 1)
        << "the first drawing survived the refused open";
}

TEST(ResponseGraph, AtTwiceTheDensityTheCurveIsDrawnNotStretchedAndBackAtOneItIsTheExactOne) {
    ResponseGraph graph;
    const Picture exact = render(graph, kBoost, 1);
    ASSERT_TRUE(graph.setScale(2.0));
    render(graph, kBoost, 1);
    ASSERT_TRUE(graph.width() == 2 * kGraphWidth && graph.height() == 2 * kGraphHeight);
    // The boost's top, (350, 96) on the window, is at the same place on the screen.
    EXPECT_TRUE(graph.pixel(700, 192) == kRed && graph.pixel(2 * 900, 2) == kGridColour) << "the grid at the labels";
    // A stretched picture is made of 2 x 2 blocks of one colour each. The curve drawn
    // at the density of the screen is not: it often fills only part of a block.
    int curveBlocks = 0;
    int partBlocks = 0;
    for (int i = 0; i < kGraphWidth * kGraphHeight; ++i) {
        const int x = 2 * (i % kGraphWidth);
        const int y = 2 * (i / kGraphWidth);
        const int red = (graph.pixel(x, y) == kRed) + (graph.pixel(x + 1, y) == kRed) +
                        (graph.pixel(x, y + 1) == kRed) + (graph.pixel(x + 1, y + 1) == kRed);
        curveBlocks += red > 0;
        partBlocks += red > 0 && red < 4;
    }
    ASSERT_GT(curveBlocks, 900);
    EXPECT_GT(partBlocks, curveBlocks / 3) << partBlocks << " of " << curveBlocks;
    ASSERT_TRUE(graph.setScale(1.5));
    render(graph, kBoost, 1);
    EXPECT_TRUE(graph.setScale(1.0) && render(graph, kBoost, 1) == exact);
}

}  // namespace
}  // namespace tqm
