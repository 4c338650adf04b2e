#include <array>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "editor/graph_palette.h"
#include "editor/response_curve.h"
#include "editor/response_graph.h"

namespace tqm {
namespace {

constexpr std::uint32_t kRed = 0xFFFF0000u;
constexpr std::uint32_t kBlue = 0xFF0000FFu;
constexpr std::uint32_t kGreen = 0xFF00FF00u;
constexpr std::uint32_t kOrange = 0xFFFF8000u;
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kBlack = 0xFF000000u;

const EqualizerValues kAllOff{{0, 5, 10, 0, 5, 10, 0, 5, 10}};

std::vector<std::uint32_t> copyPicture(const ResponseGraph& graph) {
    return {graph.picture(), graph.picture() + kGraphWidth * kGraphHeight};
}

void render(ResponseGraph& graph, const EqualizerValues& values, int activeBand) {
    ASSERT_TRUE(graph.open());
    graph.drawCurves(values, activeBand);
    graph.close();
}

// Pixels of the colour in the rectangle [x0, x1) x [y0, y1).
int countIn(const ResponseGraph& graph, std::uint32_t colour, int x0, int x1, int y0, int y1) {
    int count = 0;
    for (int x = x0; x < x1; ++x) {
        for (int y = y0; y < y1; ++y) count += graph.pixel(x, y) == colour ? 1 : 0;
    }
    return count;
}
int countInColumn(const ResponseGraph& graph, int x, std::uint32_t colour) {
    return countIn(graph, colour, x, x + 1, 0, kGraphHeight);
}

TEST(ResponseGraph, StartsWhiteAndDrawsTheGridOnOpen) {
    ResponseGraph graph;
    EXPECT_EQ(copyPicture(graph), std::vector<std::uint32_t>(kGraphWidth * kGraphHeight, kWhite));
    render(graph, kAllOff, 0);  // no curves for an active band outside 1..3

    const std::array<int, 19> columns = {0,   35,  91,  135, 214, 270, 314, 350, 406, 450,
                                         485, 541, 585, 664, 720, 764, 800, 856, 900};
    for (std::size_t i = 0; i < columns.size(); ++i) {
        EXPECT_EQ(static_cast<int>(graphX(GRAPH_GRID_FREQS[i])), columns[i]);
        EXPECT_EQ(graph.pixel(columns[i], 1), kOrange) << columns[i];
        EXPECT_EQ(graph.pixel(columns[i], 4), kWhite) << "dotted: " << columns[i];
        EXPECT_EQ(graph.pixel(columns[i] + 1, 1), kWhite) << columns[i];
    }
    EXPECT_EQ(countIn(graph, kOrange, 0, kGraphWidth, 1, 2), 19);

    // Rows run down from the top to 160 and from 175 on, the 0 dB axis solid.
    std::vector<int> rows;
    for (int y = 0; y < kGraphHeight; ++y) {
        if (graph.pixel(1, y) == kOrange) rows.push_back(y);
    }
    const std::vector<int> expected = {0,   16,  32,  48,  64,  80,  96,  112, 128, 144, 160, 175, 176,
                                       177, 191, 207, 223, 239, 255, 271, 287, 303, 319, 335, 351};
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(countIn(graph, kOrange, 0, 900, 176, 177), 900) << "the 0 dB axis is solid";
    EXPECT_EQ(graph.pixel(4, 191), kWhite) << "grid rows are dotted";
    EXPECT_EQ(graph.pixel(900, 348), kOrange) << "grid columns run to the bottom";
    EXPECT_EQ(graph.pixel(901, 1), kWhite);
}

TEST(ResponseGraph, AllBandsOffIsAFlatLineInTheColourOfTheBandDrawnLast) {
    const std::array<std::uint32_t, 3> lastColour = {kRed, kBlue, kGreen};
    for (int active = 1; active <= 3; ++active) {
        ResponseGraph graph;
        render(graph, kAllOff, active);
        for (int x = 0; x < 900; ++x) {
            ASSERT_EQ(graph.pixel(x, 176), lastColour[static_cast<std::size_t>(active - 1)]) << x;
            ASSERT_EQ(graph.pixel(x, 175), kOrange) << x;
            ASSERT_EQ(graph.pixel(x, 177), kOrange) << x;
        }
        EXPECT_EQ(graph.pixel(900, 176), kOrange) << "curves are clipped at x = 900";
        EXPECT_EQ(countInColumn(graph, 300, kBlack), 0);
    }
}

TEST(ResponseGraph, EachActiveBandIsDrawnLastAndTheSumFirst) {
    // With only the active band boosted (at its lowest frequency), the two other
    // bands still share the 0 dB row at the left edge: the later of them shows there.
    struct Case {
        int active;
        EqualizerValues values;
        std::uint32_t activeColour;
        std::uint32_t laterOther;
        int peakX;
    };
    const std::array<Case, 3> cases = {{
        {1, {{1, 10, 1, 0, 5, 10, 0, 5, 10}}, kRed, kBlue, 135},
        {2, {{0, 5, 10, 1, 10, 1, 0, 5, 10}}, kBlue, kRed, 515},
        {3, {{0, 5, 10, 0, 5, 10, 1, 10, 1}}, kGreen, kRed, 664},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.active);
        ResponseGraph graph;
        render(graph, c.values, c.active);
        EXPECT_EQ(graph.pixel(5, 176), c.laterOther);
        // At the peak the sum and the active band coincide: the band lies on top.
        EXPECT_EQ(graph.pixel(c.peakX, 96), c.activeColour);
        EXPECT_EQ(countInColumn(graph, c.peakX, kBlack), 0);
    }
}

TEST(ResponseGraph, Eq1At300HzPassesTheBoostRowAt350) {
    ResponseGraph graph;
    render(graph, EqualizerValues{{3, 10, 1, 0, 5, 10, 0, 5, 10}}, 1);
    EXPECT_EQ(graph.pixel(350, 96), kRed);
    EXPECT_EQ(countInColumn(graph, 350, kRed), 1);
    // A cut mirrors the boost about the axis at the 500 Hz sample.
    render(graph, EqualizerValues{{5, -10, 4, 0, 5, 10, 0, 5, 10}}, 1);
    EXPECT_EQ(graph.pixel(450, 256), kRed);
}

TEST(ResponseGraph, ASumAboveTheTopIsCutOff) {
    // EQ1 and EQ2 both at 700 Hz, EQ3 at 1500 Hz, all +10 dB wide: about +26 dB at 700 Hz.
    ResponseGraph graph;
    const EqualizerValues stacked{{7, 10, 1, 1, 10, 1, 1, 10, 1}};
    ASSERT_GT(sumResponse(stacked, 700.0), 22.0);
    render(graph, stacked, 1);
    const int x700 = static_cast<int>(graphX(700.0));
    EXPECT_EQ(countInColumn(graph, x700, kBlack), 0) << "the sum passes above the picture";
    EXPECT_GT(countInColumn(graph, 100, kBlack), 0);
    EXPECT_GT(countIn(graph, kBlack, 0, kGraphWidth, 0, 1), 0) << "the sum leaves through the top edge";
}

TEST(ResponseGraph, BandwidthChangesTheWidthButNotTheHeightAtTheCentre) {
    int previousWidth = kGraphWidth;
    for (int bwth = 1; bwth <= 10; ++bwth) {
        ResponseGraph graph;
        render(graph, EqualizerValues{{5, 10, bwth, 0, 5, 10, 0, 5, 10}}, 1);  // EQ1 at 500 Hz
        EXPECT_EQ(graph.pixel(450, 96), kRed) << bwth;
        int width = 0;  // columns where the band is above +5 dB
        for (int x = 0; x < 900; ++x) width += countIn(graph, kRed, x, x + 1, 0, 136) > 0 ? 1 : 0;
        EXPECT_LT(width, previousWidth) << bwth;
        previousWidth = width;
    }
}

TEST(ResponseGraph, ASecondOpenWhileBusyLeavesTheFirstDrawingUntouched) {
    ResponseGraph graph;
    const EqualizerValues first{{3, 10, 1, 0, 5, 10, 0, 5, 10}};
    render(graph, kAllOff, 1);
    const std::vector<std::uint32_t> shownBefore = copyPicture(graph);

    ASSERT_TRUE(graph.open());
    EXPECT_TRUE(graph.isBusy());
    graph.drawCurves(first, 1);
    EXPECT_FALSE(graph.open());
    EXPECT_EQ(copyPicture(graph), shownBefore) << "nothing shows before close";
    graph.close();
    EXPECT_FALSE(graph.isBusy());
    EXPECT_EQ(graph.pixel(350, 96), kRed) << "the first drawing survived the refused open";
    EXPECT_NE(copyPicture(graph), shownBefore);

    graph.drawCurves(kAllOff, 2);  // no drawing open: nothing happens
    EXPECT_EQ(graph.pixel(350, 96), kRed);
}

}  // namespace
}  // namespace tqm
