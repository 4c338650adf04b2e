#pragma once

#include <array>
#include <cstdint>

namespace tqm {

// Pixel colours as 0xAARRGGBB (opaque), the layout of a 32-bit ARGB image.
inline constexpr std::uint32_t kGraphBackground = 0xFFFFFFFFu;  // white
inline constexpr std::uint32_t kGridColour = 0xFFFF8000u;        // orange (255, 128, 0)
inline constexpr std::uint32_t kSumColour = 0xFF000000u;         // black
// EQ1 red, EQ2 blue, EQ3 green.
inline constexpr std::array<std::uint32_t, 3> kBandColours = {0xFFFF0000u, 0xFF0000FFu, 0xFF00FF00u};

}  // namespace tqm
