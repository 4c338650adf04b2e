#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "protocol/trx_state.h"

namespace tqm {

// Initial value and bounds of one bounded member, in the order value, max, min.
template <class Field, class T>
struct BoundedDefault {
    Field field;
    T value;
    T max;
    T min;
};

inline constexpr std::size_t kStateFieldCount = static_cast<std::size_t>(StateField::Count);
inline constexpr std::size_t kRealFieldCount = static_cast<std::size_t>(RealField::Count);

// One row per bounded integer member, in StateField order: field, value, max, min.
inline constexpr std::array<BoundedDefault<StateField, std::int32_t>, kStateFieldCount> kStateDefaults = {{
    {StateField::ModelCode, 0, 999, 0},
    {StateField::Rt, 0, 1, 0},
    {StateField::Xt, 0, 1, 0},
    {StateField::Sf, 8, 8, 0},
    {StateField::Bp1, 0, 1, 0},
    {StateField::Bp2, 0, 400, 0},
    {StateField::Bc, 0, 1, 0},
    {StateField::Co1, 0, 1, 0},
    {StateField::Co2, 1, 40, 0},
    {StateField::Nr1, 0, 1, 0},
    {StateField::Nr2, 0, 1, 0},
    {StateField::Ft, 0, 1, 0},
    {StateField::Fr, 0, 3, 0},
    {StateField::Lk, 0, 1, 0},
    {StateField::Fs, 0, 1, 0},
    {StateField::Vs, 0, 1, 0},
    {StateField::Na1, 0, 1, 0},
    {StateField::Na2, 0, 1, 0},
    {StateField::Nb1, 0, 2, 0},
    {StateField::Nb2, 0, 2, 0},
    {StateField::Rf, 5, 6, 0},
    {StateField::Gt1, 6, 6, 0},
    {StateField::Gt2, 6, 6, 0},
    {StateField::Ra, 0, 3, 0},
    {StateField::Pa, 1, 2, 0},
    {StateField::Kr, 0, 1, 0},
    {StateField::Ts, 0, 1, 0},
    {StateField::An1, 0, 1, 0},
    {StateField::An2, 0, 1, 0},
    {StateField::Ac, 0, 2, 0},
    {StateField::Ds, 0, 1, 0},
    {StateField::Mx, 0, 1, 0},
    {StateField::Vx, 0, 1, 0},
    {StateField::Bi, 0, 1, 0},
    {StateField::Pr, 0, 2, 0},
    {StateField::Ml1, 0, 1, 0},
    {StateField::Ml2, 0, 255, 0},
    {StateField::Cs, 0, 1, 0},
    {StateField::Dp, 0, 6, 0},
    {StateField::Rm, 0, 255, 0},
    {StateField::Kp, 0, 15, 0},
    {StateField::Ks, 4, 60, 4},
    {StateField::Sd, 0, 5000, 0},
    {StateField::Nl1, 0, 255, 0},
    {StateField::Nl2, 0, 255, 0},
    {StateField::Mg, 0, 255, 0},
    {StateField::Pl, 0, 255, 0},
    {StateField::Vg, 0, 255, 0},
    {StateField::Vd, 0, 5000, 0},
    {StateField::Sq1, 0, 255, 0},
    {StateField::Sq2, 0, 255, 0},
    {StateField::Ag1, 0, 255, 0},
    {StateField::Ag2, 0, 255, 0},
    {StateField::Rg1, 0, 255, 0},
    {StateField::Rg2, 0, 255, 0},
    {StateField::If1, 0, 99999999, 0},
    {StateField::If3, 0, 1, 0},
    {StateField::If4, 0, 1, 0},
    {StateField::If5, 0, 12, 0},
    {StateField::If6, 0, 4, 0},
    {StateField::If7, 0, 2, 0},
    {StateField::If8, 0, 49, 0},
    {StateField::If9, 0, 2, 0},
    {StateField::Vf1, 0, 1, 0},
    {StateField::Vf2, 0, 255, 0},
    {StateField::Vf3, 0, 1, 0},
    {StateField::Vf4, 0, 1, 0},
    {StateField::Vf5, 0, 255, 0},
    {StateField::Vf6, 0, 1, 0},
    {StateField::Is, 0, 1000, -1000},
    {StateField::Sh, 16, 31, 0},
    {StateField::Rl, 1, 15, 1},
    {StateField::By1, 0, 1, 0},
    {StateField::By2, 0, 1, 0},
    {StateField::Fa, 7000000, 60000000, 30000},
    {StateField::Fb, 7000000, 60000000, 30000},
    {StateField::Ro1, 0, 450, 0},
    {StateField::Ro2, 0, 100, 0},
    {StateField::Sc, 0, 2, 0},
    {StateField::Sm1, 0, 255, 0},
    {StateField::Sm2, 0, 255, 0},
    {StateField::Tx, 0, 2, 0},
    {StateField::Ul, 0, 1, 0},
    {StateField::AutoInfo, 0, 1, 0},
    {StateField::Cn1, 0, 49, 0},
    {StateField::Cn2, 0, 49, 0},
    {StateField::Ct1, 0, 2, 0},
    {StateField::Ct2, 0, 2, 0},
    {StateField::Mc, 0, 117, 0},
    {StateField::Oi1, 0, 99999999, 0},
    {StateField::Oi3, 0, 1, 0},
    {StateField::Oi4, 0, 1, 0},
    {StateField::Oi5, 0, 12, 0},
    {StateField::Oi6, 0, 3, 0},
    {StateField::Oi7, 0, 2, 0},
    {StateField::Oi8, 0, 49, 0},
    {StateField::Oi9, 0, 2, 0},
    {StateField::Os1, 0, 2, 0},
    {StateField::Os2, 0, 2, 0},
    {StateField::Pc, 0, 255, 0},
    {StateField::Rs, 0, 2, 0},
    {StateField::Md1, 0, 12, 0},
    {StateField::Md2, 0, 12, 0},
    {StateField::Ms, 0, 5, 0},
    {StateField::PowerState, 0, 1, 0},
    {StateField::Ri1, 0, 1, 0},
    {StateField::Ri2, 0, 1, 0},
    {StateField::Ri3, 0, 1, 0},
    {StateField::Ri4, 0, 1, 0},
    {StateField::Ri5, 0, 1, 0},
    {StateField::Bg1, 0, 21, -1},
    {StateField::Bg2, 0, 11, -1},
    {StateField::Bg3, 3, 5, -1},
    {StateField::MenuCount, 136, 500, 1},
}};

// One row per bounded real member, in RealField order.
inline constexpr std::array<BoundedDefault<RealField, double>, kRealFieldCount> kRealDefaults = {{
    {RealField::If2, 0.0, 9999.0, -9999.0},
    {RealField::Oi2, 0.0, 9999.0, -9999.0},
}};

// Initial value and bounds of the equalizer values by band and parameter, the same
// for the three sets: value, max, min.
struct PeqDefault {
    std::int32_t value;
    std::int32_t max;
    std::int32_t min;
};

inline constexpr PeqDefault kPeqDefaults[kPeqBands][kPeqParams] = {
    {{0, 7, 0}, {5, 10, -20}, {10, 10, 1}},   // EQ1: freq, level, bwth
    {{0, 9, 0}, {5, 10, -20}, {10, 10, 1}},   // EQ2
    {{0, 18, 0}, {5, 10, -20}, {10, 10, 1}},  // EQ3
};

namespace detail {

template <class Table>
constexpr bool rowsInFieldOrder(const Table& table) {
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (static_cast<std::size_t>(table[i].field) != i) return false;
    }
    return true;
}

template <class Table>
constexpr bool valuesWithinBounds(const Table& table) {
    for (const auto& row : table) {
        if (row.value < row.min || row.value > row.max) return false;
    }
    return true;
}

}  // namespace detail

static_assert(detail::rowsInFieldOrder(kStateDefaults), "one default row per StateField, in order");
static_assert(detail::rowsInFieldOrder(kRealDefaults), "one default row per RealField, in order");
static_assert(detail::valuesWithinBounds(kStateDefaults), "initial values lie within their bounds");
static_assert(detail::valuesWithinBounds(kRealDefaults), "initial values lie within their bounds");

}  // namespace tqm
