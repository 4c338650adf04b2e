#include <array>
#include <cstddef>
#include <utility>

#include "protocol/family_parsers.h"
#include "protocol/link_parsers.h"
#include "protocol/own_rule_parsers.h"
#include "protocol/pe_command.h"
#include "protocol/reply_parser.h"
#include "protocol/reply_table.h"

namespace tqm {
namespace {

struct ParserEntry {
    char letters[2];
    ReplyParser parser;
};

// The replies with parsers of their own. "CW" has none: it is recognised and dropped.
constexpr ParserEntry kOwnParsers[] = {
    {{'I', 'D'}, parseIdReply}, {{'R', 'M'}, parseRmReply}, {{'I', 'F'}, parseIfReply},
    {{'I', 'S'}, parseIsReply}, {{'A', 'I'}, parseAiReply}, {{'K', 'M'}, parseKmReply},
    {{'O', 'I'}, parseOiReply}, {{'P', 'B'}, parseEmptyReply}, {{'R', 'S'}, parseRsReply},
    {{'P', 'S'}, parsePsReply}, {{'R', 'I'}, parseRiReply}, {{'B', 'G'}, parseBgReply},
    {{'L', 'M'}, parseEmptyReply}, {{'P', 'E'}, parsePeReply},
};

constexpr int kLetters = 26;

constexpr bool isCommandLetter(char c) { return c >= 'A' && c <= 'Z'; }

constexpr std::size_t slotOf(char first, char second) {
    return static_cast<std::size_t>((first - 'A') * kLetters + (second - 'A'));
}

using ParserLookup = std::array<ReplyParser, kLetters * kLetters>;

template <std::size_t... I>
constexpr void addFamilyParsers(ParserLookup& lookup, std::index_sequence<I...>) {
    ((lookup[slotOf(kFamilyRows[I].letters[0], kFamilyRows[I].letters[1])] = &parseFamilyRow<I>), ...);
}

// Every pair of command letters to its parser, built at compile time.
constexpr ParserLookup kParserLookup = [] {
    ParserLookup lookup{};
    addFamilyParsers(lookup, std::make_index_sequence<kFamilyRows.size()>());
    for (const ParserEntry& entry : kOwnParsers) lookup[slotOf(entry.letters[0], entry.letters[1])] = entry.parser;
    return lookup;
}();

// Every row of the reply table but "CW" has a parser, and no two parsers share letters.
constexpr std::size_t countParsedLetters() {
    std::array<bool, kLetters * kLetters> taken{};
    std::size_t count = 0;
    auto take = [&](char first, char second) {
        if (!taken[slotOf(first, second)]) ++count;
        taken[slotOf(first, second)] = true;
    };
    for (const FamilyRow& row : kFamilyRows) take(row.letters[0], row.letters[1]);
    for (const ParserEntry& entry : kOwnParsers) take(entry.letters[0], entry.letters[1]);
    return count;
}
static_assert(countParsedLetters() == kReplyTableRows - 1);
static_assert(kFamilyRows.size() + std::size(kOwnParsers) == kReplyTableRows - 1);

}  // namespace

ReplyParser replyParserFor(char first, char second) {
    if (!isCommandLetter(first) || !isCommandLetter(second)) return nullptr;
    return kParserLookup[slotOf(first, second)];
}

}  // namespace tqm
