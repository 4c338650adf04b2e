#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "editor/equalizer_values.h"
#include "editor/graph_axes.h"

namespace tqm {

// The equalizer response graph as a 902 x 352 picture of 32-bit ARGB pixels, row
// by row. A drawing is built off-screen between open() and close(); close() puts
// it into the shown picture in one piece. Used on the user-interface thread only.
//
// On a screen with more pixels per window pixel (a scale above 1) the picture has
// that many more pixels each way, and the grid and curves are drawn at that density
// with lines of the same width on the screen, rather than the 902 x 352 picture
// being stretched. At scale 1 it is exactly the 902 x 352 picture.
class ResponseGraph final {
public:
    ResponseGraph();

    // Picture pixels per window pixel. Refused (false) while a drawing is open; the
    // picture starts white again, at the new size, and moves in memory.
    bool setScale(double scale);
    double scale() const { return m_scale; }
    // The picture's size in its own pixels.
    int width() const { return m_width; }
    int height() const { return m_height; }

    // Starts a drawing on a fresh background with the grid; false (nothing drawn)
    // while another drawing is open.
    bool open();
    // Draws the sum curve and the three bands of a set, the active band (1..3) last;
    // nothing for another active band or when no drawing is open.
    void drawCurves(const EqualizerValues& values, int activeBand);
    // Shows the drawing and ends it.
    void close();

    bool isBusy() const { return m_busy; }

    // The shown picture: width() * height() pixels; the buffer moves only when the
    // scale changes.
    const std::uint32_t* picture() const { return m_picture.data(); }
    // In the picture's own pixels.
    std::uint32_t pixel(int x, int y) const;
    // The drawing being built (for inspection while one is open).
    std::uint32_t surfacePixel(int x, int y) const;

    // Plots a curve given in dB over the sample frequencies onto the open drawing.
    void plotCurve(const std::function<double(double)>& curve, std::uint32_t colour);

private:
    void drawGrid();
    void drawDottedVertical(int x);
    void drawDottedHorizontal(int y);
    void setSurface(int x, int y, std::uint32_t colour);
    void plotClipped(int x, int y, std::uint32_t colour);
    bool inPicture(int x, int y) const;
    std::size_t offset(int x, int y) const;
    // A window pixel coordinate in picture pixels.
    int scaled(int windowPixels) const;

    double m_scale = 1.0;
    int m_width = kGraphWidth;
    int m_height = kGraphHeight;
    int m_lineWidth = 1;  // picture pixels of a one-pixel line of the window

    std::vector<std::uint32_t> m_gridded;  // the background with the grid drawn on it
    std::vector<std::uint32_t> m_surface;
    std::vector<std::uint32_t> m_picture;
    bool m_busy = false;
};

}  // namespace tqm
