#include "editor/response_graph.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "editor/graph_palette.h"
#include "editor/response_curve.h"

namespace tqm {

namespace {

constexpr std::size_t kPixelCount = static_cast<std::size_t>(kGraphWidth) * kGraphHeight;

// A dotted pen: three pixels on, three pixels off (filled with the background),
// counted from the start of each line.
constexpr int kDotPeriod = 6;
constexpr int kDotOn = 3;

constexpr int kGridRowStep = 16;
constexpr int kGridRowsPerHalf = 12;
constexpr int kUpperGridTop = 0;
constexpr int kLowerGridTop = 175;
constexpr int kAxisHalfWidth = 1;  // the 0 dB axis is three pixels thick

constexpr double kPlotStep = 0.1;

// The order of the band curves after the sum curve, by active band 1..3.
constexpr std::array<std::array<int, 3>, 3> kBandOrder = {{{2, 1, 0}, {2, 0, 1}, {1, 0, 2}}};

std::size_t offset(int x, int y) {
    return static_cast<std::size_t>(y) * kGraphWidth + static_cast<std::size_t>(x);
}

bool inPicture(int x, int y) { return x >= 0 && x < kGraphWidth && y >= 0 && y < kGraphHeight; }

}  // namespace

ResponseGraph::ResponseGraph()
    : m_surface(kPixelCount, kGraphBackground), m_picture(kPixelCount, kGraphBackground) {
    // The grid never changes: draw it once on the background and start every
    // drawing from a copy of the result.
    drawGrid();
    m_gridded = m_surface;
}

bool ResponseGraph::open() {
    if (m_busy) {
        return false;
    }
    m_busy = true;
    std::copy(m_gridded.begin(), m_gridded.end(), m_surface.begin());
    return true;
}

void ResponseGraph::close() {
    if (!m_busy) {
        return;
    }
    std::copy(m_surface.begin(), m_surface.end(), m_picture.begin());
    m_busy = false;
}

std::uint32_t ResponseGraph::pixel(int x, int y) const {
    return inPicture(x, y) ? m_picture[offset(x, y)] : kGraphBackground;
}

std::uint32_t ResponseGraph::surfacePixel(int x, int y) const {
    return inPicture(x, y) ? m_surface[offset(x, y)] : kGraphBackground;
}

void ResponseGraph::setSurface(int x, int y, std::uint32_t colour) {
    if (inPicture(x, y)) {
        m_surface[offset(x, y)] = colour;
    }
}

void ResponseGraph::drawDottedVertical(int x) {
    for (int y = 0; y < kGraphHeight; ++y) {
        setSurface(x, y, y % kDotPeriod < kDotOn ? kGridColour : kGraphBackground);
    }
}

void ResponseGraph::drawDottedHorizontal(int y) {
    for (int x = 0; x < kGraphPlotRight; ++x) {
        setSurface(x, y, x % kDotPeriod < kDotOn ? kGridColour : kGraphBackground);
    }
}

void ResponseGraph::drawGrid() {
    for (const double frequency : GRAPH_GRID_FREQS) {
        drawDottedVertical(static_cast<int>(graphX(frequency)));
    }
    for (int row = 0; row < kGridRowsPerHalf; ++row) {
        drawDottedHorizontal(kUpperGridTop + row * kGridRowStep);
        drawDottedHorizontal(kLowerGridTop + row * kGridRowStep);
    }
    for (int y = kGraphZeroDbY - kAxisHalfWidth; y <= kGraphZeroDbY + kAxisHalfWidth; ++y) {
        for (int x = 0; x < kGraphPlotRight; ++x) {
            setSurface(x, y, kGridColour);
        }
    }
}

void ResponseGraph::plotClipped(int x, int y, std::uint32_t colour) {
    if (x >= 0 && x < kGraphPlotRight && y >= 0 && y < kGraphHeight) {
        m_surface[offset(x, y)] = colour;
    }
}

void ResponseGraph::plotCurve(const std::function<double(double)>& curve, std::uint32_t colour) {
    if (!m_busy) {
        return;
    }
    double previous = curve(GRAPH_SAMPLE_FREQS[0]);
    for (std::size_t k = 1; k < GRAPH_SAMPLE_FREQS.size(); ++k) {
        const double current = curve(GRAPH_SAMPLE_FREQS[k]);
        const double y0 = graphY(previous);
        const double y1 = graphY(current);
        const double x0 = graphX(GRAPH_SAMPLE_FREQS[k - 1]);
        const double x1 = graphX(GRAPH_SAMPLE_FREQS[k]);
        const double slope = (y1 - y0) / (x1 - x0);
        previous = current;
        double t = 0.0;
        for (double x = x0; x <= x1; x += kPlotStep, t += kPlotStep) {
            const double y = std::trunc(t * slope + y0);
            // Far outside the picture (or not a number): nothing to plot, and no
            // conversion that could overflow.
            if (x >= 0.0 && y > -1.0 && y < kGraphHeight) {
                plotClipped(static_cast<int>(x), static_cast<int>(y), colour);
            }
        }
    }
}

void ResponseGraph::drawCurves(const EqualizerValues& values, int activeBand) {
    if (!m_busy || activeBand < 1 || activeBand > kEqualizerBands) {
        return;
    }
    plotCurve([&values](double f) { return sumResponse(values, f); }, kSumColour);
    for (const int band : kBandOrder[static_cast<std::size_t>(activeBand - 1)]) {
        plotCurve([&values, band](double f) { return bandResponse(values, band, f); },
                  kBandColours[static_cast<std::size_t>(band)]);
    }
}

}  // namespace tqm
