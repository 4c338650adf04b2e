#pragma once

#include <cstdint>
#include <string>

#include "editor/equalizer_values.h"

namespace tqm {

// The handles that edits on the graph grab: one per band at the peak of the band's
// curve, in graph coordinates (those of the response graph's picture). A band that is
// off has no peak; its handle is parked at the left edge, left of every centre
// frequency, at the height of its level, the three bands side by side.
inline constexpr double kHandleRadius = 6.0;
// How far from its centre a handle can be grabbed.
inline constexpr double kHandleGrabRadius = 9.0;

struct HandleSpot {
    double x;
    double y;
    bool off;
};

// Where the handle of a band (0..2) sits for these values.
HandleSpot handleSpot(int band, const EqualizerValues& values);

// The band (0..2) whose handle lies under the point, the active band's (1..3) first
// as it is drawn on top; -1 for none.
int handleAt(const EqualizerValues& values, int activeBand, double x, double y);

// The FREQ index of the band's frequency nearest to the graph x, never 0 (off).
std::int32_t freqIndexNearX(int band, double x);
// The whole-dB level nearest to the graph y (not held to any range).
std::int32_t levelNearY(double y);

// What the handle tells about its band: "EQ2 1000 Hz +9 dB BWTH 7".
std::string handleText(int band, const EqualizerValues& values);

}  // namespace tqm
