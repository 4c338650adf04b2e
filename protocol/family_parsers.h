#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "protocol/reply_fields.h"
#include "protocol/reply_record.h"
#include "protocol/trx_state.h"

namespace tqm {

// The replies that differ only in the positions they read, the class of their
// characters and the members they feed.
enum class Family : std::uint8_t {
    Single,         // one digit into one member
    Number,         // one n-character number into one member
    Select,         // digit 0/1 at position 2 picks the member the number goes into
    SwitchOrValue,  // "0" at q: the switch member from the flag at r; else a number
    Pair,           // two independent fields; true only if both are valid
    Chain,          // digit 0/1 at position 2 picks the member set; every field must be valid
};

// One field: width characters of a class from pos, plus bias, into member (or into
// alternate when the selector digit is 1).
struct FieldLayout {
    std::int8_t pos;
    std::int8_t width;
    CharClass cls;
    std::int8_t bias;
    StateField member;
    StateField alternate;
};

struct FamilyRow {
    char letters[2];
    Family family;
    std::int8_t switchPos;    // switch-or-value: q
    std::int8_t flagPos;      // switch-or-value: r
    StateField switchMember;  // switch-or-value: member set from the flag
    std::uint8_t fieldCount;
    std::array<FieldLayout, 3> fields;
};

namespace family_rows {

constexpr FieldLayout field(int pos, int width, StateField member, StateField alternate,
                          CharClass cls = CharClass::Digit, int bias = 0) {
    return FieldLayout{static_cast<std::int8_t>(pos), static_cast<std::int8_t>(width), cls,
                     static_cast<std::int8_t>(bias), member, alternate};
}
constexpr FieldLayout field(int pos, int width, StateField member, int bias = 0) {
    return field(pos, width, member, member, CharClass::Digit, bias);
}

constexpr FamilyRow row(const char (&letters)[3], Family family, std::uint8_t count, FieldLayout a,
                        FieldLayout b = {}, FieldLayout c = {}) {
    return FamilyRow{{letters[0], letters[1]}, family, 0, 0, StateField::Count, count, {a, b, c}};
}
constexpr FamilyRow single(const char (&letters)[3], int pos, StateField member) {
    return row(letters, Family::Single, 1, field(pos, 1, member));
}
constexpr FamilyRow number(const char (&letters)[3], int pos, int width, StateField member) {
    return row(letters, Family::Number, 1, field(pos, width, member));
}
constexpr FamilyRow select(const char (&letters)[3], int pos, int width, StateField first,
                          StateField second, CharClass cls = CharClass::Digit) {
    return row(letters, Family::Select, 1, field(pos, width, first, second, cls));
}
constexpr FamilyRow switchOrValue(const char (&letters)[3], int q, int r, StateField switchMember,
                                  int pos, int width, StateField valueMember) {
    FamilyRow result = row(letters, Family::SwitchOrValue, 1, field(pos, width, valueMember));
    result.switchPos = static_cast<std::int8_t>(q);
    result.flagPos = static_cast<std::int8_t>(r);
    result.switchMember = switchMember;
    return result;
}
constexpr FamilyRow pair(const char (&letters)[3], FieldLayout first, FieldLayout second) {
    return row(letters, Family::Pair, 2, first, second);
}
constexpr FamilyRow chain(const char (&letters)[3], FieldLayout a, FieldLayout b, FieldLayout c) {
    return row(letters, Family::Chain, 3, a, b, c);
}

using S = StateField;

}  // namespace family_rows

// Every reply of the families, with the positions it reads (from 0, the command
// letters at 0-1) and the members it feeds.
inline constexpr auto kFamilyRows = [] {
    using namespace family_rows;
    return std::array{
        single("RT", 2, S::Rt),
        single("XT", 2, S::Xt),
        single("SF", 2, S::Sf),
        switchOrValue("BP", 3, 6, S::Bp1, 4, 3, S::Bp2),
        single("BC", 3, S::Bc),
        switchOrValue("CO", 3, 5, S::Co1, 4, 2, S::Co2),
        select("NR", 3, 1, S::Nr1, S::Nr2),
        single("FT", 2, S::Ft),
        single("FR", 2, S::Fr),
        single("LK", 2, S::Lk),
        single("FS", 2, S::Fs),
        single("VS", 2, S::Vs),
        select("NA", 3, 1, S::Na1, S::Na2),
        select("NB", 3, 1, S::Nb1, S::Nb2),
        single("RF", 3, S::Rf),
        select("GT", 3, 1, S::Gt1, S::Gt2),
        single("RA", 3, S::Ra),
        single("PA", 3, S::Pa),
        single("KR", 2, S::Kr),
        single("TS", 2, S::Ts),
        pair("AN", field(3, 1, S::An1, -1), field(4, 1, S::An2)),
        single("AC", 4, S::Ac),
        single("DS", 2, S::Ds),
        single("MX", 2, S::Mx),
        single("VX", 2, S::Vx),
        single("BI", 2, S::Bi),
        single("PR", 2, S::Pr),
        switchOrValue("ML", 2, 5, S::Ml1, 3, 3, S::Ml2),
        single("CS", 2, S::Cs),
        single("DP", 2, S::Dp),
        number("KP", 2, 2, S::Kp),
        number("KS", 2, 3, S::Ks),
        number("SD", 2, 4, S::Sd),
        select("NL", 3, 3, S::Nl1, S::Nl2),
        number("MG", 2, 3, S::Mg),
        number("PL", 2, 3, S::Pl),
        number("VG", 2, 3, S::Vg),
        number("VD", 2, 4, S::Vd),
        select("SQ", 3, 3, S::Sq1, S::Sq2),
        select("AG", 3, 3, S::Ag1, S::Ag2),
        select("RG", 3, 3, S::Rg1, S::Rg2),
        chain("VF", field(3, 1, S::Vf1, S::Vf4), field(4, 3, S::Vf2, S::Vf5), field(7, 1, S::Vf3, S::Vf6)),
        number("SH", 3, 2, S::Sh),
        number("RL", 3, 2, S::Rl),
        pair("BY", field(2, 1, S::By1), field(3, 1, S::By2)),
        number("FA", 2, 8, S::Fa),
        number("FB", 2, 8, S::Fb),
        pair("RO", field(3, 3, S::Ro1), field(6, 3, S::Ro2)),
        single("SC", 2, S::Sc),
        select("SM", 3, 3, S::Sm1, S::Sm2),
        single("TX", 2, S::Tx),
        single("UL", 2, S::Ul),
        select("CN", 3, 2, S::Cn1, S::Cn2),
        select("CT", 3, 1, S::Ct1, S::Ct2),
        number("MC", 2, 3, S::Mc),
        select("OS", 3, 1, S::Os1, S::Os2),
        number("PC", 2, 3, S::Pc),
        select("MD", 3, 1, S::Md1, S::Md2, CharClass::Hex),
        single("MS", 2, S::Ms),
    };
}();

// Parses one reply of a family row: false for a zero length, a missing record or a
// malformed reply (see Family); stores every valid field through the state setters.
bool parseFamilyReply(const FamilyRow& row, std::int32_t replyLen, const ReplyRecord* record);

// The reply parser of family row I.
template <std::size_t I>
bool parseFamilyRow(std::int32_t replyLen, const ReplyRecord* record) {
    static_assert(I < kFamilyRows.size());
    return parseFamilyReply(kFamilyRows[I], replyLen, record);
}

}  // namespace tqm
