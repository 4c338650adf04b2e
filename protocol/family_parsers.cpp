#include "protocol/family_parsers.h"

namespace tqm {
namespace {

// Reads one field and stores it (the member chosen by selector) when it is valid;
// true when it was valid.
bool storeField(const FieldLayout& layout, int selector, const ReplyRecord& record, Trx_StateGuard& state) {
    std::int32_t value = 0;
    if (!readNumber(record, layout.pos, layout.width, layout.cls, value)) return false;
    return state.set(selector == 0 ? layout.member : layout.alternate, value + layout.bias);
}

// Every field of the row is read and each valid one stored; true only if all were valid.
bool storeAllFields(const FamilyRow& row, int selector, const ReplyRecord& record, Trx_StateGuard& state) {
    bool allValid = true;
    for (std::size_t i = 0; i < row.fieldCount; ++i) {
        allValid = storeField(row.fields[i], selector, record, state) && allValid;
    }
    return allValid;
}

// The selector digit at position 2: 0 or 1, or -1 for anything else.
int selectorAt2(const ReplyRecord& record) {
    const int selector = charValue(record[2], CharClass::Digit);
    return selector == 0 || selector == 1 ? selector : -1;
}

bool parseNumber(const FamilyRow& row, const ReplyRecord& record, Trx_StateGuard& state) {
    return storeField(row.fields[0], 0, record, state);
}

bool parseSingle(const FamilyRow& row, const ReplyRecord& record, Trx_StateGuard& state) {
    return parseNumber(row, record, state);
}

bool parseSelect(const FamilyRow& row, const ReplyRecord& record, Trx_StateGuard& state) {
    const int selector = selectorAt2(record);
    return selector >= 0 && storeField(row.fields[0], selector, record, state);
}

bool parseSwitchOrValue(const FamilyRow& row, const ReplyRecord& record, Trx_StateGuard& state) {
    if (record[static_cast<std::size_t>(row.switchPos)] == '0') {
        return state.set(row.switchMember, record[static_cast<std::size_t>(row.flagPos)] != '0' ? 1 : 0);
    }
    return storeField(row.fields[0], 0, record, state);
}

bool parsePair(const FamilyRow& row, const ReplyRecord& record, Trx_StateGuard& state) {
    return storeAllFields(row, 0, record, state);
}

bool parseChain(const FamilyRow& row, const ReplyRecord& record, Trx_StateGuard& state) {
    const int selector = selectorAt2(record);
    return selector >= 0 && storeAllFields(row, selector, record, state);
}

using FamilyFunction = bool (*)(const FamilyRow&, const ReplyRecord&, Trx_StateGuard&);

// Indexed by Family.
constexpr FamilyFunction kFamilyFunctions[] = {
    parseSingle, parseNumber, parseSelect, parseSwitchOrValue, parsePair, parseChain,
};
static_assert(std::size(kFamilyFunctions) == static_cast<std::size_t>(Family::Chain) + 1);

}  // namespace

bool parseFamilyReply(const FamilyRow& row, std::int32_t replyLen, const ReplyRecord* record) {
    if (!isParsable(replyLen, record)) return false;
    Trx_StateGuard state;
    return kFamilyFunctions[static_cast<std::size_t>(row.family)](row, *record, state);
}

}  // namespace tqm
