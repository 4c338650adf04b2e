#include <algorithm>
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

// A byte stream of valid replies, line noise and damaged replies, and the valid
// replies a framer must deliver whatever the chunking. Noise has no upper-case
// letters, so it never starts a frame and goes byte by byte. Behind a damaged reply
// (an inner byte changed or lost, so it may be cut wrongly or dropped) comes a guard
// of bytes that are never reply text, longer than the longest frame, so the damage
// cannot reach the next reply.
struct Stream {
    std::string bytes;
    std::vector<std::string> expected;
};

Stream buildStream(std::uint32_t seed, FixedFrameRules& rules, std::size_t size) {
    std::mt19937 random(seed);
    const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const auto bytesExcept = [&](int count, auto skip) {
        std::string out;
        while (static_cast<int>(out.size()) < count) {
            const auto c = static_cast<unsigned char>(pick(0, 255));
            if (!skip(c)) out += static_cast<char>(c);
        }
        return out;
    };
    const auto isText = [](unsigned char c) { return (c >= 0x20 && c <= 0x5F) || c == '}'; };
    const auto digits = [&](int count) { return bytesExcept(count, [](unsigned char c) { return c < '0' || c > '9'; }); };
    rules.model = static_cast<std::int32_t>(seed % 2);
    const std::int32_t kFormats[] = {0, 1, 4, MENU_FORMAT_EQ2_FREQ, MENU_FORMAT_P_EQ2_FREQ, 31};
    for (std::int32_t n = 1; n <= rules.count; ++n) rules.items[n] = {pick(1, 13), kFormats[pick(0, 5)]};
    const auto validReply = [&]() -> std::string {
        switch (pick(0, 5)) {
            case 0: return pick(0, 1) ? "ID4700;" : "ID4700001;";
            case 1: return "KM" + bytesExcept(pick(0, 40), [&](unsigned char c) { return !isText(c) || c == ';'; }) + ";";
            case 2: {
                const std::int32_t n = pick(1, rules.count);
                const std::int32_t format = rules.items[n].format;
                const bool shorter = rules.model == 0 && (format == MENU_FORMAT_EQ2_FREQ || format == MENU_FORMAT_P_EQ2_FREQ);
                char number[4];
                std::snprintf(number, sizeof number, "%03d", n);
                return "EX" + std::string(number) + digits(rules.items[n].width - (shorter ? 1 : 0)) + ";";
            }
            case 3: {  // letters that are not in the reply table
                std::string letters;
                do letters = {static_cast<char>('A' + pick(0, 25)), static_cast<char>('A' + pick(0, 25))};
                while (findReplyRow(letters[0], letters[1]) >= 0 || letters == "EX");
                return letters + digits(pick(0, 12)) + ";";
            }
            default: {  // a row of the reply table, at its length
                const ReplyTableRow* row = nullptr;
                do row = &kReplyTable[static_cast<std::size_t>(pick(0, kReplyTableRows - 1))];
                while (std::string_view(row->cmd, 2) == "ID" || std::string_view(row->cmd, 2) == "KM");
                return std::string(row->cmd, 2) + digits(row->replyLen - 3) + ";";
            }
        }
    };
    Stream stream;
    while (stream.bytes.size() < size) {
        const int kind = pick(0, 9);
        std::string reply = validReply();
        if (kind < 6) {
            stream.bytes += reply;
            stream.expected.push_back(reply.substr(0, reply.size() - 1));
        } else if (kind < 9) {
            stream.bytes += bytesExcept(pick(1, 8), [](unsigned char c) { return c >= 'A' && c <= 'Z'; });
        } else {
            if (reply.size() >= 4) {
                const auto inner = static_cast<std::size_t>(pick(2, static_cast<int>(reply.size()) - 2));
                if (pick(0, 1) != 0) reply.erase(inner, 1);
                else reply[inner] = static_cast<char>(pick(0, 255));
            }
            stream.bytes += reply + bytesExcept(64, isText);
        }
    }
    return stream;
}

class ReplyFramerFuzz : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(ReplyFramerFuzz, DeliversEveryUndamagedReplyWhateverTheChunking) {
    FixedFrameRules rules;
    const Stream stream = buildStream(GetParam(), rules, 200 * 1024);
    ASSERT_GT(stream.expected.size(), 5000u);
    ReplyFramer framer(rules);
    CollectingSink sink;
    std::mt19937 chunking(GetParam() * 7919u + 1u);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(stream.bytes.data());
    for (std::size_t offset = 0; offset < stream.bytes.size();) {
        const std::size_t chunk = std::uniform_int_distribution<std::size_t>(0, 300)(chunking);
        offset += framer.feed(bytes + offset, std::min(chunk, stream.bytes.size() - offset), 0, sink);
        ASSERT_LT(framer.held(), ReplyFramer::kCapacity);
    }
    for (FrameStep last = FrameStep::Dropped; last == FrameStep::Dropped || last == FrameStep::Delivered;) {
        last = framer.step(0, sink);
    }
    // Every expected reply is delivered, in order, among what may come of the damage.
    auto at = sink.replies.begin();
    for (const std::string& reply : stream.expected) {
        at = std::find(at, sink.replies.end(), reply);
        ASSERT_NE(at, sink.replies.end()) << "lost " << reply << " of " << stream.expected.size() << " replies";
        ++at;
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, ReplyFramerFuzz, ::testing::Values(1u, 2u, 3u, 42u, 4700u, 65535u));

}  // namespace
}  // namespace tqm
