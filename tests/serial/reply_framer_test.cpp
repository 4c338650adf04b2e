#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "platform/serial_device.h"
#include "protocol/menu_item_record.h"
#include "protocol/reply_table.h"
#include "serial/frame_rules.h"
#include "serial/reply_framer.h"

namespace tqm {
namespace {

// A menu list and model code fixed by the test.
class FixedFrameRules final : public FrameRules {
public:
    struct Item {
        std::int32_t width;
        std::int32_t format;
    };

    std::int32_t menuCount() const override { return count; }
    std::int32_t menuParameterLength(std::int32_t n) const override { return item(n).width; }
    std::int32_t menuFormatCode(std::int32_t n) const override { return item(n).format; }
    Item item(std::int32_t n) const { return items.contains(n) ? items.at(n) : Item{0, 0}; }
    std::int32_t modelCode() const override { return model; }

    std::int32_t count = 147;
    std::int32_t model = 1;
    std::map<std::int32_t, Item> items;
};

class CollectingSink final : public FrameSink {
public:
    void deliver(const char* text, std::size_t length) override { replies.emplace_back(text, length); }
    std::vector<std::string> replies;
};

class ReplyFramerTest : public ::testing::Test {
protected:
    // Feeds bytes as one poll would and returns what the step did.
    FrameStep poll(std::string_view bytes = {}, std::uint32_t errors = 0) {
        FrameStep outcome = FrameStep::Empty;
        m_framer.feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), errors, m_sink, &outcome);
        return outcome;
    }
    std::string rest() const {
        return std::string(reinterpret_cast<const char*>(m_framer.data()), m_framer.held());
    }

    FixedFrameRules m_rules;
    ReplyFramer m_framer{m_rules};
    CollectingSink m_sink;
};

TEST_F(ReplyFramerTest, IdAndKmAreCutByTheirTerminatorScans) {
    EXPECT_EQ(poll("KM" + std::string(20, 'X') + "}{;"), FrameStep::Dropped) << "'{' is not reply text";
    m_framer.reset();
    EXPECT_EQ(poll("KMAB C}D;"), FrameStep::Delivered);
    EXPECT_EQ(m_sink.replies.at(0), "KMAB C}D");
    // 54 bytes of text without ";" give a frame of 3 bytes, which is not terminated.
    EXPECT_EQ(poll("KM" + std::string(60, 'A') + ";PS0;"), FrameStep::Dropped);
    EXPECT_EQ(rest(), "PS0;");
    // An ID scan that stops at the end of the held bytes waits for more.
    EXPECT_EQ(poll(), FrameStep::Delivered);
    EXPECT_EQ(poll("ID47"), FrameStep::Waiting);
    EXPECT_EQ(poll("00;"), FrameStep::Delivered);
    EXPECT_EQ(m_sink.replies.back(), "ID4700");
}

TEST_F(ReplyFramerTest, MenuRepliesAreCutByTheItemWidthAndTheModelRule) {
    m_rules.items[123] = {2, 31};
    m_rules.items[126] = {2, MENU_FORMAT_EQ2_FREQ};
    m_rules.items[135] = {2, MENU_FORMAT_P_EQ2_FREQ};
    m_rules.items[5] = {4, 0};

    EXPECT_EQ(poll("EX12307;EX0050123;"), FrameStep::Delivered);
    EXPECT_EQ(poll(), FrameStep::Delivered);
    EXPECT_EQ(poll("EX12605;EX13509;"), FrameStep::Delivered) << "model identified: full width";
    EXPECT_EQ(poll(), FrameStep::Delivered);
    m_rules.model = 0;
    EXPECT_EQ(poll("EX1265;EX1359;EX12307;"), FrameStep::Delivered) << "model 0: one character shorter";
    EXPECT_EQ(poll(), FrameStep::Delivered);
    EXPECT_EQ(poll(), FrameStep::Delivered) << "other format codes keep their width";
    const std::vector<std::string> expected = {"EX12307", "EX0050123", "EX12605", "EX13509",
                                               "EX1265",  "EX1359",    "EX12307"};
    EXPECT_EQ(m_sink.replies, expected);
}

TEST_F(ReplyFramerTest, MenuRepliesOutsideTheListAreDroppedThroughTheirTerminator) {
    m_rules.count = 147;
    m_rules.items[12] = {3, 0};
    EXPECT_EQ(poll("EX000"), FrameStep::Waiting) << "item 0, terminator not yet there";
    EXPECT_FALSE(m_framer.frameFound());
    EXPECT_EQ(poll("7;PS1;"), FrameStep::Dropped);
    EXPECT_EQ(rest(), "PS1;");
    EXPECT_EQ(poll("EX1480;"), FrameStep::Delivered) << "PS1 first";
    EXPECT_EQ(poll(), FrameStep::Dropped) << "above the menu count";
    EXPECT_EQ(poll("EX1"), FrameStep::Waiting) << "digits still to come";
    EXPECT_EQ(poll("2A;EX012123;"), FrameStep::Dropped) << "not three digits";
    EXPECT_EQ(poll(), FrameStep::Delivered);
    EXPECT_EQ(m_sink.replies, (std::vector<std::string>{"PS1", "EX012123"}));
}

TEST_F(ReplyFramerTest, LeadingGarbageGoesOneBytePerPoll) {
    EXPECT_EQ(poll("\r\nPS1;"), FrameStep::Dropped);
    EXPECT_EQ(poll(), FrameStep::Dropped);
    EXPECT_TRUE(m_sink.replies.empty());
    EXPECT_EQ(poll(), FrameStep::Delivered) << "recognised at the third poll";
    EXPECT_EQ(m_sink.replies.at(0), "PS1");
}

TEST_F(ReplyFramerTest, AFramingErrorSkipsToThePlausibleStart) {
    const std::string noisy = std::string("\x80\x81\x82", 3) + "PS1;";
    EXPECT_EQ(poll(noisy, kLineErrorFrame), FrameStep::Delivered);
    EXPECT_EQ(m_sink.replies.at(0), "PS1");
    EXPECT_EQ(poll(std::string("\x90\x91", 2), kLineErrorBreak), FrameStep::Empty) << "nothing plausible: all gone";
    // With two errors at once nothing is skipped: garbage goes one byte per poll.
    EXPECT_EQ(poll(std::string("\x80", 1) + "PS0;", kLineErrorFrame | kLineErrorParity), FrameStep::Dropped);
    EXPECT_EQ(rest(), "PS0;");
}

TEST_F(ReplyFramerTest, APollNeverTakesMoreThanTheFreeSpace) {
    // Held text that waits for a ";" fills the buffer; the surplus stays with the caller.
    const std::string text = "ZZ" + std::string(20000, 'A');
    std::size_t taken = m_framer.feed(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), 0, m_sink);
    EXPECT_EQ(taken, ReplyFramer::kCapacity - 1);
    // A full buffer that no rule can cut is emptied rather than stuck for ever.
    EXPECT_EQ(m_framer.held(), 0u);
    EXPECT_TRUE(m_sink.replies.empty());
    EXPECT_EQ(poll("PS1;"), FrameStep::Delivered);
}

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

    // count random bytes for which skip is false.
    template <typename Skip>
    void bytesExcept(int count, Skip skip) {
        for (int i = 0; i < count; ++i) {
            unsigned char c = 0;
            do c = static_cast<unsigned char>(pick(0, 255));
            while (skip(c));
            stream += static_cast<char>(c);
        }
    }
    void noise(int count) {
        bytesExcept(count, [](unsigned char c) { return c >= 'A' && c <= 'Z'; });
    }

    void damaged() {
        std::string reply = validReply();
        if (reply.size() >= 4) {
            const auto inner = static_cast<std::size_t>(pick(2, static_cast<int>(reply.size()) - 2));
            if (pick(0, 1) != 0) reply.erase(inner, 1);
            else reply[inner] = static_cast<char>(pick(0, 255));
        }
        stream += reply;
        // The guard: never reply text (below 0x20 or above 0x5F, not "}").
        bytesExcept(64, [](unsigned char c) { return (c >= 0x20 && c <= 0x5F) || c == '}'; });
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
