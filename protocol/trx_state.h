#pragma once

#include <cstdint>
#include <string>

#include "protocol/menu_item_record.h"

namespace tqm {

// Every bounded integer member of the transceiver state, in the order of the
// replies that fill it. MenuCount is the count of valid menu records.
enum class StateField : std::uint8_t {
    ModelCode, Rt, Xt, Sf, Bp1, Bp2, Bc, Co1, Co2, Nr1, Nr2, Ft, Fr, Lk, Fs, Vs,
    Na1, Na2, Nb1, Nb2, Rf, Gt1, Gt2, Ra, Pa, Kr, Ts, An1, An2, Ac, Ds, Mx, Vx, Bi, Pr,
    Ml1, Ml2, Cs, Dp, Rm, Kp, Ks, Sd, Nl1, Nl2, Mg, Pl, Vg, Vd, Sq1, Sq2, Ag1, Ag2,
    Rg1, Rg2, If1, If3, If4, If5, If6, If7, If8, If9, Vf1, Vf2, Vf3, Vf4, Vf5, Vf6,
    Is, Sh, Rl, By1, By2, Fa, Fb, Ro1, Ro2, Sc, Sm1, Sm2, Tx, Ul, AutoInfo, Cn1, Cn2,
    Ct1, Ct2, Mc, Oi1, Oi3, Oi4, Oi5, Oi6, Oi7, Oi8, Oi9, Os1, Os2, Pc, Rs, Md1, Md2,
    Ms, PowerState, Ri1, Ri2, Ri3, Ri4, Ri5, Bg1, Bg2, Bg3, MenuCount,
    Count
};

// The bounded real members.
enum class RealField : std::uint8_t { If2, Oi2, Count };

// The text members ("KM" replies).
enum class TextField : std::uint8_t { Km1, Km2, Km3, Km4, Km5, Count };

// The parameter of one equalizer value; the numbers are the "PE" parameter digits.
enum class PeqParam : std::uint8_t { Freq = 0, Level = 1, Bwth = 2 };

inline constexpr int kPeqSets = 3;
inline constexpr int kPeqBands = 3;
inline constexpr int kPeqParams = 3;
inline constexpr int kMenuSlots = 300;
inline constexpr std::int32_t kTextLimit = 51;

// Data-less access object to the one process-wide transceiver state record.
// Every getter and setter touches one member; every value is an atomic, so any
// thread may construct a guard and read or write.
//
// Setter contract for bounded members: a value within [min, max] is stored,
// any other value is dropped; the setter returns true in both cases.
class Trx_StateGuard {
public:
    Trx_StateGuard() = default;
    virtual ~Trx_StateGuard() = default;

    std::int32_t get(StateField field) const;
    bool set(StateField field, std::int32_t value);
    std::int32_t minimum(StateField field) const;
    std::int32_t maximum(StateField field) const;

    double getReal(RealField field) const;
    bool setReal(RealField field, double value);

    // False when length > the limit (51), length < 0 or text is null; otherwise the
    // member is cleared and the text copied up to its terminating zero, at most
    // length characters.
    bool setText(TextField field, std::int32_t length, const char* text);
    std::string getText(TextField field) const;

    std::int32_t getPeq(int set, int band, PeqParam param) const;
    bool setPeq(int set, int band, PeqParam param, std::int32_t value);
    std::int32_t peqMinimum(int band, PeqParam param) const;
    std::int32_t peqMaximum(int band, PeqParam param) const;

    // Menu records are numbered 1..menuCount (and at most 300).
    bool isValidMenuRecord(std::int32_t n) const;
    // False for a null record or an invalid n; otherwise slot n is cleared and filled.
    bool storeMenuRecord(std::int32_t n, const MenuItemRecord* record);
    // 0 for an invalid n.
    std::int32_t menuParameterLength(std::int32_t n) const;
    // 0 for an invalid n.
    std::int32_t menuFormatCode(std::int32_t n) const;
    bool readMenuValue(std::int32_t n, double& value) const;
    bool writeMenuValue(std::int32_t n, double value);
    // A copy of record n (for tests and tools); false for an invalid n.
    bool copyMenuRecord(std::int32_t n, MenuItemRecord& record) const;

    std::uint8_t menuListReady() const;
    void setMenuListReady(std::uint8_t ready);
    std::int32_t savedAutoInfo() const;
    void setSavedAutoInfo(std::int32_t value);
    std::uint8_t aiRestorePending() const;
    void setAiRestorePending(std::uint8_t value);

    // Resets every member a caller can observe (bounds and values from the default
    // table, texts, flags), then starts the menu-list loader if one is installed.
    // Menu records and Trx_Shadow are left alone.
    void initialise();

    // What initialise() calls to start the menu-list thread; installed by the engine
    // start sequence. Null: nothing is started.
    using MenuLoaderStart = void (*)();
    static void setMenuLoaderStart(MenuLoaderStart start);
};

// Data-less access object to the shadow record: the last reported auto-information
// and power states. Never reset by Trx_StateGuard::initialise().
class Trx_ShadowGuard {
public:
    Trx_ShadowGuard() = default;
    virtual ~Trx_ShadowGuard() = default;

    std::int32_t autoInfo() const;
    void setAutoInfo(std::int32_t value);
    std::int32_t powerState() const;
    void setPowerState(std::int32_t value);
    // Zeroes both members: their state at process start. The engine's start sequence
    // calls it, so that every run of the engine in a process starts from that state
    // (the program runs it once, when they are still zero).
    void reset();
};

}  // namespace tqm
