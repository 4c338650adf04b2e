#include "editor/response_graph.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "editor/graph_palette.h"
#include "editor/response_curve.h"

namespace tqm {

namespace {

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

// Scales from one window pixel per picture pixel up to this; anything else is refused.
constexpr double kMaxScale = 8.0;

}  // namespace

ResponseGraph::ResponseGraph() { setScale(1.0); }

bool ResponseGraph::setScale(double scale) {
    if (m_busy || !(scale >= 1.0 && scale <= kMaxScale)) return false;
    m_scale = scale;
    m_width = static_cast<int>(std::lround(kGraphWidth * scale));
    m_height = static_cast<int>(std::lround(kGraphHeight * scale));
    m_lineWidth = std::max(1, static_cast<int>(std::lround(scale)));
    const std::size_t pixels = static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height);
    m_surface.assign(pixels, kGraphBackground);
    m_picture.assign(pixels, kGraphBackground);
    // The grid never changes: draw it once on the background and start every
    // drawing from a copy of the result.
    drawGrid();
    m_gridded = m_surface;
    return true;
}

std::size_t ResponseGraph::offset(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) + static_cast<std::size_t>(x);
}

bool ResponseGraph::inPicture(int x, int y) const { return x >= 0 && x < m_width && y >= 0 && y < m_height; }

int ResponseGraph::scaled(int windowPixels) const { return static_cast<int>(std::lround(windowPixels * m_scale)); }

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

// The dots and gaps of the pen, and the lines themselves, are as long and as wide on
// the screen at every scale.
void ResponseGraph::drawDottedVertical(int x) {
    const int period = kDotPeriod * m_lineWidth;
    for (int column = scaled(x); column < scaled(x) + m_lineWidth; ++column) {
        for (int y = 0; y < m_height; ++y) {
            setSurface(column, y, y % period < kDotOn * m_lineWidth ? kGridColour : kGraphBackground);
        }
    }
}

void ResponseGraph::drawDottedHorizontal(int y) {
    const int period = kDotPeriod * m_lineWidth;
    for (int row = scaled(y); row < scaled(y) + m_lineWidth; ++row) {
        for (int x = 0; x < scaled(kGraphPlotRight); ++x) {
            setSurface(x, row, x % period < kDotOn * m_lineWidth ? kGridColour : kGraphBackground);
        }
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
    for (int y = scaled(kGraphZeroDbY - kAxisHalfWidth); y < scaled(kGraphZeroDbY + kAxisHalfWidth + 1); ++y) {
        for (int x = 0; x < scaled(kGraphPlotRight); ++x) {
            setSurface(x, y, kGridColour);
        }
    }
}

// One point of a curve: a square as wide as a line, clipped to the plot.
void ResponseGraph::plotClipped(int x, int y, std::uint32_t colour) {
    const int right = scaled(kGraphPlotRight);
    for (int row = y; row < y + m_lineWidth; ++row) {
        for (int column = x; column < x + m_lineWidth; ++column) {
            if (column >= 0 && column < right && row >= 0 && row < m_height) m_surface[offset(column, row)] = colour;
        }
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
        // About ten points per picture pixel, whatever the scale.
        const double step = kPlotStep / m_scale;
        double t = 0.0;
        for (double x = x0; x <= x1; x += step, t += step) {
            const double y = std::trunc((t * slope + y0) * m_scale);
            // Far outside the picture (or not a number): nothing to plot, and no
            // conversion that could overflow.
            if (x >= 0.0 && y > -1.0 && y < m_height) {
                plotClipped(static_cast<int>(x * m_scale), static_cast<int>(y), colour);
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
