#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "editor/graph_palette.h"
#include "editor/response_graph.h"

namespace tqm {
namespace {

constexpr std::uint32_t kRed = 0xFFFF0000u;
// EQ1 at 300 Hz, +10 dB, the widest band: a curve that climbs and falls at every slope.
const EqualizerValues kBoost{{3, 10, 1, 0, 5, 10, 0, 5, 10}};

std::vector<std::uint32_t> draw(ResponseGraph& graph, double scale) {
    EXPECT_TRUE(graph.setScale(scale));
    EXPECT_TRUE(graph.open());
    graph.drawCurves(kBoost, 1);
    graph.close();
    return {graph.picture(), graph.picture() + graph.width() * graph.height()};
}

TEST(ResponseGraphScale, AtTwiceTheDensityTheCurveIsDrawnNotStretched) {
    ResponseGraph graph;
    draw(graph, 2.0);
    ASSERT_EQ(graph.width(), 2 * kGraphWidth);
    ASSERT_EQ(graph.height(), 2 * kGraphHeight);
    // The boost's top, (350, 96) on the window, is at the same place on the screen.
    EXPECT_EQ(graph.pixel(700, 192), kRed);
    EXPECT_EQ(graph.pixel(2 * 900, 2), kGridColour) << "the grid is where the labels are";
    // A stretched picture is made of 2 x 2 blocks of one colour each. The curve drawn
    // at the density of the screen is not: it often fills only part of a block.
    int curveBlocks = 0;
    int partBlocks = 0;
    for (int i = 0; i < graph.width() * graph.height() / 4; ++i) {
        const int x = 2 * (i % kGraphWidth);
        const int y = 2 * (i / kGraphWidth);
        const int red = (graph.pixel(x, y) == kRed) + (graph.pixel(x + 1, y) == kRed) +
                        (graph.pixel(x, y + 1) == kRed) + (graph.pixel(x + 1, y + 1) == kRed);
        curveBlocks += red > 0;
        partBlocks += red > 0 && red < 4;
    }
    ASSERT_GT(curveBlocks, 900);
    EXPECT_GT(partBlocks, curveBlocks / 3) << partBlocks << " of " << curveBlocks;
}

TEST(ResponseGraphScale, BackAtScaleOneThePictureIsTheExactOneAgain) {
    ResponseGraph fresh;
    const std::vector<std::uint32_t> exact = draw(fresh, 1.0);
    ResponseGraph rescaled;
    draw(rescaled, 1.5);
    EXPECT_EQ(draw(rescaled, 1.0), exact);
}

}  // namespace
}  // namespace tqm
