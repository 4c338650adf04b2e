#include "protocol/own_rule_parsers.h"

#include <array>
#include <cstring>

#include "protocol/reply_fields.h"
#include "protocol/trx_state.h"

namespace tqm {
namespace {

using S = StateField;

constexpr std::array<TextField, 5> kKmFields = {TextField::Km1, TextField::Km2, TextField::Km3,
                                                TextField::Km4, TextField::Km5};
constexpr int kKmTextPos = 3;
constexpr int kKmTextLength = 50;

constexpr std::array<StateField, 5> kRiMembers = {S::Ri1, S::Ri2, S::Ri3, S::Ri4, S::Ri5};

// What each "BG" selector digit does with the number v: member := v and, when
// cleared differs from member, cleared := -1 (no band).
struct BgAction {
    StateField member;
    StateField cleared;
};
constexpr std::array<BgAction, 3> kBgActions = {
    BgAction{S::Bg3, S::Bg3},
    BgAction{S::Bg1, S::Bg2},
    BgAction{S::Bg2, S::Bg1},
};

// The information layout of "IF" and "OI": the integer fields in order, the first
// being the 8-digit number that starts the chain. Positions 2-4 are not read.
struct InfoFieldLayout {
    std::int8_t pos;
    std::int8_t width;
    CharClass cls;
};
constexpr std::array<InfoFieldLayout, 8> kInfoFields = {{
    {5, 8, CharClass::Digit},
    {18, 1, CharClass::Digit},
    {19, 1, CharClass::Digit},
    {20, 1, CharClass::Hex},
    {21, 1, CharClass::Digit},
    {22, 1, CharClass::Digit},
    {23, 2, CharClass::Digit},
    {25, 1, CharClass::Digit},
}};
constexpr int kInfoRealSignPos = 13;
constexpr int kInfoRealFirst = 14;
constexpr int kInfoRealLast = 17;

struct InfoMembers {
    std::array<StateField, 8> fields;
    RealField real;
};
constexpr InfoMembers kIfMembers = {{S::If1, S::If3, S::If4, S::If5, S::If6, S::If7, S::If8, S::If9},
                                    RealField::If2};
constexpr InfoMembers kOiMembers = {{S::Oi1, S::Oi3, S::Oi4, S::Oi5, S::Oi6, S::Oi7, S::Oi8, S::Oi9},
                                    RealField::Oi2};

bool parseInformation(const InfoMembers& members, std::int32_t replyLen, const ReplyRecord* record) {
    if (!isParsable(replyLen, record)) return false;
    Trx_StateGuard state;
    bool allValid = true;
    for (std::size_t i = 0; i < kInfoFields.size(); ++i) {
        std::int32_t value = 0;
        const InfoFieldLayout& layout = kInfoFields[i];
        if (readNumber(*record, layout.pos, layout.width, layout.cls, value)) {
            state.set(members.fields[i], value);
        } else {
            allValid = false;
        }
    }
    // The offset never fails the reply: non-digits are skipped.
    const double magnitude = digitsAmong(*record, kInfoRealFirst, kInfoRealLast);
    state.setReal(members.real, (*record)[kInfoRealSignPos] == '-' ? -magnitude : magnitude);
    return allValid;
}

}  // namespace

bool parseRmReply(std::int32_t replyLen, const ReplyRecord* record) {
    if (!isParsable(replyLen, record)) return false;
    Trx_StateGuard state;
    return state.set(S::Rm, digitsAmong(*record, 3, 5));
}

bool parseIsReply(std::int32_t replyLen, const ReplyRecord* record) {
    if (!isParsable(replyLen, record)) return false;
    Trx_StateGuard state;
    std::int32_t value = 0;
    if (!readNumber(*record, 4, 4, CharClass::Digit, value)) return false;
    switch ((*record)[3]) {
        case '+': return state.set(S::Is, value);
        case '-': return state.set(S::Is, -value);
        default: return false;
    }
}

bool parseKmReply(std::int32_t replyLen, const ReplyRecord* record) {
    if (!isParsable(replyLen, record)) return false;
    Trx_StateGuard state;
    const int selector = charValue((*record)[2], CharClass::Digit);
    if (selector < 1 || selector > static_cast<int>(kKmFields.size())) return false;
    char text[kKmTextLength + 1] = {};
    std::memcpy(text, record->bytes.data() + kKmTextPos, kKmTextLength);
    return state.setText(kKmFields[static_cast<std::size_t>(selector - 1)], kKmTextLength, text);
}

bool parseRiReply(std::int32_t replyLen, const ReplyRecord* record) {
    if (!isParsable(replyLen, record)) return false;
    Trx_StateGuard state;
    const int selector = charValue((*record)[2], CharClass::Digit);
    std::int32_t value = 0;
    if (selector >= 0 && selector < static_cast<int>(kRiMembers.size()) &&
        readNumber(*record, 3, 1, CharClass::Hex, value)) {
        state.set(kRiMembers[static_cast<std::size_t>(selector)], value);
    }
    return true;
}

bool parseBgReply(std::int32_t replyLen, const ReplyRecord* record) {
    if (!isParsable(replyLen, record)) return false;
    Trx_StateGuard state;
    const int selector = charValue((*record)[2], CharClass::Digit);
    std::int32_t value = 0;
    if (selector < 0 || selector >= static_cast<int>(kBgActions.size()) ||
        !readNumber(*record, 3, 2, CharClass::Digit, value)) {
        return false;
    }
    const BgAction& action = kBgActions[static_cast<std::size_t>(selector)];
    if (action.cleared != action.member) state.set(action.cleared, -1);
    return state.set(action.member, value);
}

bool parseIfReply(std::int32_t replyLen, const ReplyRecord* record) {
    return parseInformation(kIfMembers, replyLen, record);
}

bool parseOiReply(std::int32_t replyLen, const ReplyRecord* record) {
    return parseInformation(kOiMembers, replyLen, record);
}

bool parseEmptyReply(std::int32_t replyLen, const ReplyRecord* record) {
    return isParsable(replyLen, record);
}

}  // namespace tqm
