#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "platform/serial_device.h"
#include "protocol/menu_item_record.h"
#include "serial/frame_rules.h"
#include "serial/reply_framer.h"

namespace tqm {
namespace {

class FixedFrameRules final : public FrameRules {
public:
    struct Item {
        std::int32_t width;
        std::int32_t format;
    };

    std::int32_t menuCount() const override { return count; }
    std::int32_t menuParameterLength(std::int32_t n) const override { return items.contains(n) ? items.at(n).width : 0; }
    std::int32_t menuFormatCode(std::int32_t n) const override { return items.contains(n) ? items.at(n).format : 0; }
    std::int32_t modelCode() const override { return model; }

    std::int32_t count = 147;
    std::int32_t model = 1;
    std::map<std::int32_t, Item> items;
};

class ReplyFramerTest : public ::testing::Test, public FrameSink {
protected:
    void deliver(const char* text, std::size_t length) override { m_replies.emplace_back(text, length); }
    // Feeds bytes as one poll would and returns what the step did.
    FrameStep poll(std::string_view bytes = {}, std::uint32_t errors = 0) {
        FrameStep outcome = FrameStep::Empty;
        m_framer.feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), errors, *this, &outcome);
        return outcome;
    }
    std::string rest() const { return std::string(reinterpret_cast<const char*>(m_framer.data()), m_framer.held()); }

    FixedFrameRules m_rules;
    ReplyFramer m_framer{m_rules};
    std::vector<std::string> m_replies;
};

TEST_F(ReplyFramerTest, OnlyIdAndKmAreCutByTheirTerminatorScans) {
    EXPECT_EQ(poll("KM" + std::string(20, 'X') + "}{;"), FrameStep::Dropped) << "'{' is not reply text";
    m_framer.reset();
    EXPECT_EQ(poll("KMAB C}D;"), FrameStep::Delivered);
    // 54 bytes of text without ";" give a frame of 3 bytes, which is not terminated.
    EXPECT_EQ(poll("KM" + std::string(60, 'A') + ";PS0;"), FrameStep::Dropped);
    EXPECT_EQ(rest(), "PS0;");
    // An ID scan that stops at the end of the held bytes waits for more.
    EXPECT_EQ(poll(), FrameStep::Delivered);
    EXPECT_EQ(poll("ID47"), FrameStep::Waiting);
    EXPECT_EQ(poll("00;"), FrameStep::Delivered);
    EXPECT_EQ(poll("RM12;PS1;"), FrameStep::Dropped) << "a reply of fixed length is not cut at its first ';'";
    EXPECT_EQ(rest(), "PS1;");
    EXPECT_EQ(m_replies, (std::vector<std::string>{"KMAB C}D", "PS0", "ID4700"}));
}

TEST_F(ReplyFramerTest, MenuRepliesAreCutByTheItemWidthAndTheModelRuleOrDroppedThroughTheirTerminator) {
    m_rules.items = {{123, {2, 31}}, {126, {2, MENU_FORMAT_EQ2_FREQ}}, {135, {2, MENU_FORMAT_P_EQ2_FREQ}}, {5, {4, 0}},
                     {12, {3, 0}}};
    EXPECT_EQ(poll("EX12307;EX0050123;"), FrameStep::Delivered);
    EXPECT_EQ(poll(), FrameStep::Delivered);
    EXPECT_EQ(poll("EX12605;EX13509;"), FrameStep::Delivered) << "model identified: full width";
    EXPECT_EQ(poll(), FrameStep::Delivered);
    m_rules.model = 0;
    EXPECT_EQ(poll("EX1265;EX1359;EX12307;"), FrameStep::Delivered) << "model 0: one character shorter";
    EXPECT_EQ(poll(), FrameStep::Delivered);
    EXPECT_EQ(poll(), FrameStep::Delivered) << "other format codes keep their width";
    EXPECT_EQ(poll("EX000"), FrameStep::Waiting) << "item 0, terminator not yet there";
    EXPECT_FALSE(m_framer.frameFound());
    EXPECT_EQ(poll("7;PS1;"), FrameStep::Dropped);
    EXPECT_EQ(rest(), "PS1;");
    EXPECT_EQ(poll("EX1480;"), FrameStep::Delivered) << "PS1 first";
    EXPECT_EQ(poll(), FrameStep::Dropped) << "above the menu count";
    EXPECT_EQ(poll("EX1"), FrameStep::Waiting) << "digits still to come";
    EXPECT_EQ(poll("2A;EX012123;"), FrameStep::Dropped) << "not three digits";
    EXPECT_EQ(poll(), FrameStep::Delivered);
    EXPECT_EQ(m_replies, (std::vector<std::string>{"EX12307", "EX0050123", "EX12605", "EX13509", "EX1265",
                                                        "EX1359", "EX12307", "PS1", "EX012123"}));
}

TEST_F(ReplyFramerTest, LeadingGarbageGoesOneBytePerPollUnlessALineErrorSaysWhereToSkip) {
    EXPECT_EQ(poll("\r\nPS1;"), FrameStep::Dropped);
    EXPECT_EQ(poll(), FrameStep::Dropped);
    EXPECT_TRUE(m_replies.empty());
    EXPECT_EQ(poll(), FrameStep::Delivered) << "recognised at the third poll";
    // After a framing error the poll skips to the plausible start.
    EXPECT_EQ(poll(std::string("\x80\x81\x82", 3) + "PS1;", kLineErrorFrame), FrameStep::Delivered);
    EXPECT_EQ(m_replies, (std::vector<std::string>{"PS1", "PS1"}));
    EXPECT_EQ(poll(std::string("\x90\x91", 2), kLineErrorBreak), FrameStep::Empty) << "nothing plausible: all gone";
    // With two errors at once nothing is skipped: garbage goes one byte per poll.
    EXPECT_EQ(poll(std::string("\x80", 1) + "PS0;", kLineErrorFrame | kLineErrorParity), FrameStep::Dropped);
    EXPECT_EQ(rest(), "PS0;");
}

TEST_F(ReplyFramerTest, APollNeverTakesMoreThanTheFreeSpace) {
    // Held text that waits for a ";" fills the buffer; the surplus stays with the caller.
    const std::string text = "ZZ" + std::string(20000, 'A');
    std::size_t taken = m_framer.feed(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), 0, *this);
    EXPECT_EQ(taken, ReplyFramer::kCapacity - 1);
    // A full buffer that no rule can cut is emptied rather than stuck for ever.
    EXPECT_EQ(m_framer.held(), 0u);
    EXPECT_TRUE(m_replies.empty());
    EXPECT_EQ(poll("PS1;"), FrameStep::Delivered);
}

}  // namespace
}  // namespace tqm
