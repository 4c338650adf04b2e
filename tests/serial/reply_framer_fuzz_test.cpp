#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "protocol/menu_item_record.h"
#include "protocol/reply_table.h"
#include "serial/reply_framer.h"
#include "tests/serial/framer_test_support.h"

namespace tqm {
namespace {

using test::CollectingSink;
using test::FixedFrameRules;

// A byte stream of valid replies, line noise and damaged replies, with the valid
// replies a framer must deliver whatever the chunking.
//
// Noise between replies has no upper-case letters, so it can never start a frame and
// goes byte by byte. A damaged reply (an inner byte changed or lost) may be cut
// wrongly or dropped; behind it comes a guard of bytes that are never reply text,
// longer than the longest frame, so the damage cannot reach the next reply.
class StreamBuilder {
public:
    StreamBuilder(std::uint32_t seed, FixedFrameRules& rules) : m_random(seed), m_rules(rules) {
        m_rules.model = static_cast<std::int32_t>(seed % 2);
        for (std::int32_t n = 1; n <= m_rules.count; ++n) {
            const std::int32_t formats[] = {0, 1, 4, MENU_FORMAT_EQ2_FREQ, MENU_FORMAT_P_EQ2_FREQ, 31};
            m_rules.items[n] = {pick(1, 13), formats[pick(0, 5)]};
        }
    }

    void build(std::size_t size) {
        while (stream.size() < size) {
            const int kind = pick(0, 9);
            if (kind < 6) {
                const std::string reply = validReply();
                stream += reply;
                expected.push_back(reply.substr(0, reply.size() - 1));
            } else if (kind < 9) {
                noise(pick(1, 8));
            } else {
                damaged();
            }
        }
    }

    std::string stream;
    std::vector<std::string> expected;

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
    char digit() { return static_cast<char>('0' + pick(0, 9)); }
    char text() {
        static const char kText[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 +-.}";
        return kText[pick(0, sizeof kText - 2)];
    }

    std::string validReply() {
        switch (pick(0, 5)) {
            case 0: return "ID4700" + std::string(pick(0, 1) ? "" : "001") + ";";
            case 1: {
                std::string reply = "KM";
                for (int i = pick(0, 40); i > 0; --i) reply += text();
                return reply + ";";
            }
            case 2: {
                const std::int32_t n = pick(1, m_rules.count);
                std::int32_t width = m_rules.items[n].width;
                const std::int32_t format = m_rules.items[n].format;
                if (m_rules.model == 0 && (format == MENU_FORMAT_EQ2_FREQ || format == MENU_FORMAT_P_EQ2_FREQ)) --width;
                char number[4];
                std::snprintf(number, sizeof number, "%03d", n);
                std::string reply = std::string("EX") + number;
                for (int i = 0; i < width; ++i) reply += digit();
                return reply + ";";
            }
            case 3: {  // letters that are not in the reply table
                std::string reply;
                do {
                    reply = {static_cast<char>('A' + pick(0, 25)), static_cast<char>('A' + pick(0, 25))};
                } while (findReplyRow(reply[0], reply[1]) >= 0 || reply == "EX");
                for (int i = pick(0, 12); i > 0; --i) reply += digit();
                return reply + ";";
            }
            default: {  // a row of the reply table, at its length
                const ReplyTableRow* row = nullptr;
                do {
                    row = &kReplyTable[static_cast<std::size_t>(pick(0, kReplyTableRows - 1))];
                } while ((row->cmd[0] == 'I' && row->cmd[1] == 'D') || (row->cmd[0] == 'K' && row->cmd[1] == 'M'));
                std::string reply(row->cmd, 2);
                for (int i = 0; i < row->replyLen - 3; ++i) reply += digit();
                return reply + ";";
            }
        }
    }

    void noise(int count) {
        for (int i = 0; i < count; ++i) {
            char c = 0;
            do c = static_cast<char>(pick(0, 255));
            while (c >= 'A' && c <= 'Z');
            stream += c;
        }
    }

    void damaged() {
        std::string reply = validReply();
        if (reply.size() >= 4) {
            const auto inner = static_cast<std::size_t>(pick(2, static_cast<int>(reply.size()) - 2));
            if (pick(0, 1) != 0) reply.erase(inner, 1);
            else reply[inner] = static_cast<char>(pick(0, 255));
        }
        stream += reply;
        for (int i = 0; i < 64; ++i) {  // never reply text: below 0x20 or above 0x5F, not "}"
            char c = 0;
            do c = static_cast<char>(pick(0, 255));
            while ((static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) <= 0x5F) || c == '}');
            stream += c;
        }
    }

    std::mt19937 m_random;
    FixedFrameRules& m_rules;
};

// True when every expected reply appears in delivered, in order.
bool isOrderedSubset(const std::vector<std::string>& expected, const std::vector<std::string>& delivered,
                     std::string& missing) {
    std::size_t at = 0;
    for (const auto& reply : expected) {
        while (at < delivered.size() && delivered[at] != reply) ++at;
        if (at == delivered.size()) {
            missing = reply;
            return false;
        }
        ++at;
    }
    return true;
}

class ReplyFramerFuzz : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(ReplyFramerFuzz, DeliversEveryUndamagedReplyWhateverTheChunking) {
    FixedFrameRules rules;
    StreamBuilder builder(GetParam(), rules);
    builder.build(200 * 1024);
    ASSERT_GT(builder.expected.size(), 5000u);
    ReplyFramer framer(rules);
    CollectingSink sink;
    std::mt19937 chunking(GetParam() * 7919u + 1u);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(builder.stream.data());
    std::size_t offset = 0;
    while (offset < builder.stream.size()) {
        const std::size_t chunk = std::uniform_int_distribution<std::size_t>(0, 300)(chunking);
        const std::size_t count = std::min(chunk, builder.stream.size() - offset);
        offset += framer.feed(bytes + offset, count, 0, sink);
        ASSERT_LT(framer.held(), ReplyFramer::kCapacity);
    }
    for (FrameStep last = FrameStep::Dropped; last == FrameStep::Dropped || last == FrameStep::Delivered;) {
        last = framer.step(0, sink);
    }
    std::string missing;
    EXPECT_TRUE(isOrderedSubset(builder.expected, sink.replies, missing))
        << "lost " << missing << " of " << builder.expected.size() << " replies";
    EXPECT_GE(sink.replies.size(), builder.expected.size());
}

INSTANTIATE_TEST_SUITE_P(Seeds, ReplyFramerFuzz, ::testing::Values(1u, 2u, 3u, 42u, 4700u, 65535u));

}  // namespace
}  // namespace tqm
