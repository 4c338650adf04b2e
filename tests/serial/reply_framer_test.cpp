#include <string>

#include <gtest/gtest.h>

#include "platform/serial_device.h"
#include "protocol/menu_item_record.h"
#include "serial/reply_framer.h"
#include "tests/serial/framer_test_support.h"

namespace tqm {
namespace {

using test::CollectingSink;
using test::feedPoll;
using test::FixedFrameRules;

class ReplyFramerTest : public ::testing::Test {
protected:
    FrameStep poll(std::string_view bytes = {}, std::uint32_t errors = 0) {
        return feedPoll(m_framer, bytes, m_sink, errors);
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

    // A rejected command's answer is never recognised; its two bytes go one per poll.
    EXPECT_EQ(poll("?;AI1;"), FrameStep::Dropped);
    EXPECT_EQ(poll(), FrameStep::Dropped);
    EXPECT_EQ(poll(), FrameStep::Delivered);
    EXPECT_EQ(m_sink.replies.at(1), "AI1");
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

}  // namespace
}  // namespace tqm
