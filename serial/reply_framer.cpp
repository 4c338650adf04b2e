#include "serial/reply_framer.h"

#include <algorithm>
#include <cstring>

#include "platform/serial_device.h"
#include "protocol/menu_item_record.h"
#include "protocol/reply_table.h"

namespace tqm {
namespace {

constexpr std::size_t kKmScanLimit = 54;
constexpr std::size_t kIdScanLimit = 10;
constexpr std::size_t kUnterminatedScanLength = 3;
constexpr std::size_t kMenuReplyOverhead = 6;  // "EX", three digits, ";"

bool isUpper(std::uint8_t c) { return c >= 'A' && c <= 'Z'; }
bool isDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }
// Characters a reply may carry after its two letters.
bool isReplyText(std::uint8_t c) { return (c >= 0x20 && c <= 0x5F) || c == '}'; }
// Where a reply may plausibly start again after a framing error or break.
bool isPlausible(std::uint8_t c) { return isUpper(c) || isDigit(c) || c == '?' || c == ';'; }

}  // namespace

ReplyFramer::ReplyFramer(const FrameRules& rules) : m_rules(rules) { reset(); }

void ReplyFramer::reset() {
    m_buffer.fill(kEndMark);
    m_held = 0;
    m_frameFound = false;
    m_frameLength = 0;
}

bool ReplyFramer::commit(std::size_t count) {
    count = std::min(count, freeSpace());
    if (m_held == 0 && count == 0) return false;
    m_held += count;
    m_buffer[m_held] = kEndMark;
    return true;
}

std::size_t ReplyFramer::feed(const std::uint8_t* bytes, std::size_t count, std::uint32_t lineErrors,
                              FrameSink& sink, FrameStep* outcome) {
    const std::size_t taken = std::min(count, freeSpace());
    if (taken > 0) std::memcpy(tail(), bytes, taken);
    const FrameStep result = commit(taken) ? step(lineErrors, sink) : FrameStep::Empty;
    if (outcome != nullptr) *outcome = result;
    return taken;
}

FrameStep ReplyFramer::step(std::uint32_t lineErrors, FrameSink& sink) {
    if (m_held == 0) return FrameStep::Empty;
    if (lineErrors == kLineErrorFrame || lineErrors == kLineErrorBreak) resynchronise();
    if (!m_frameFound) {
        m_frameLength = 0;
        const Recognition recognition = recognise(m_frameLength);
        if (recognition != Recognition::Found) return dropUnrecognised(recognition);
        m_frameFound = true;
    }
    if (m_held < m_frameLength) return FrameStep::Waiting;
    m_frameFound = false;
    if (m_buffer[m_frameLength - 1] != ';') {
        dropThroughTerminator();
        return FrameStep::Dropped;
    }
    sink.deliver(reinterpret_cast<const char*>(m_buffer.data()), m_frameLength - 1);
    remove(m_frameLength);
    return FrameStep::Delivered;
}

FrameStep ReplyFramer::dropUnrecognised(Recognition recognition) {
    m_frameFound = false;
    if (dropLeadingGarbage()) return FrameStep::Dropped;
    // An item that is not in the menu list never becomes a reply: drop it through its
    // ";" instead of holding everything behind it.
    std::size_t position = 0;
    if (recognition == Recognition::Rejected && findTerminator(position)) {
        remove(position + 1);
        return FrameStep::Dropped;
    }
    if (freeSpace() == 0) {
        // A full buffer that no rule can cut would never take another byte.
        clear();
        return FrameStep::Dropped;
    }
    return m_held == 0 ? FrameStep::Empty : FrameStep::Waiting;
}

ReplyFramer::Recognition ReplyFramer::recognise(std::size_t& length) const {
    if (m_held < 2) return Recognition::Incomplete;
    if (m_buffer[0] == '?' || m_buffer[0] == 0) return Recognition::Incomplete;  // garbage goes byte by byte
    const std::uint8_t first = m_buffer[0];
    const std::uint8_t second = m_buffer[1];
    if (first == 'E' && second == 'X') return recogniseMenuReply(length);
    if (first == 'K' && second == 'M') return scanForTerminator(kKmScanLimit, length);
    if (first == 'I' && second == 'D') return scanForTerminator(kIdScanLimit, length);
    if (!isUpper(first) || !isUpper(second)) return Recognition::Incomplete;  // garbage goes byte by byte
    const int row = findReplyRow(static_cast<char>(first), static_cast<char>(second));
    if (row >= 0) {
        length = static_cast<std::size_t>(kReplyTable[static_cast<std::size_t>(row)].replyLen);
        return Recognition::Found;
    }
    std::size_t position = 0;
    if (!findTerminator(position)) return Recognition::Incomplete;
    length = position + 1;
    return Recognition::Found;
}

ReplyFramer::Recognition ReplyFramer::recogniseMenuReply(std::size_t& length) const {
    for (std::size_t i = 2; i < 5; ++i) {
        if (i >= m_held) return Recognition::Incomplete;
        if (!isDigit(m_buffer[i])) return Recognition::Rejected;
    }
    const std::int32_t n = (m_buffer[2] - '0') * 100 + (m_buffer[3] - '0') * 10 + (m_buffer[4] - '0');
    if (n < 1 || n > m_rules.menuCount()) return Recognition::Rejected;
    std::int32_t width = m_rules.menuParameterLength(n);
    const std::int32_t format = m_rules.menuFormatCode(n);
    if (m_rules.modelCode() == 0 && (format == MENU_FORMAT_EQ2_FREQ || format == MENU_FORMAT_P_EQ2_FREQ)) --width;
    // A length this buffer can never hold would wait for ever.
    if (width < 0 || static_cast<std::size_t>(width) + kMenuReplyOverhead >= kCapacity) return Recognition::Rejected;
    length = static_cast<std::size_t>(width) + kMenuReplyOverhead;
    return Recognition::Found;
}

ReplyFramer::Recognition ReplyFramer::scanForTerminator(std::size_t limit, std::size_t& length) const {
    for (std::size_t i = 0; i < limit; ++i) {
        if (i >= m_held) return Recognition::Incomplete;  // the end mark: not complete yet
        const std::uint8_t c = m_buffer[i];
        if (c == ';') {
            length = i + 1;
            return Recognition::Found;
        }
        if (!isReplyText(c)) return Recognition::Incomplete;  // the byte is garbage and goes
    }
    length = kUnterminatedScanLength;
    return Recognition::Found;
}

bool ReplyFramer::findTerminator(std::size_t& position) const {
    const auto* begin = m_buffer.data();
    const void* found = std::memchr(begin, ';', m_held);
    if (found == nullptr) return false;
    position = static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - begin);
    return true;
}

void ReplyFramer::remove(std::size_t count) {
    count = std::min(count, m_held);
    const std::size_t rest = m_held - count;
    std::memmove(m_buffer.data(), m_buffer.data() + count, rest);
    std::memset(m_buffer.data() + rest, kEndMark, count);
    m_held = rest;
}

void ReplyFramer::clear() {
    std::memset(m_buffer.data(), kEndMark, m_held);
    m_held = 0;
}

void ReplyFramer::resynchronise() {
    const auto* begin = m_buffer.data();
    const auto* found = std::find_if(begin, begin + m_held, isPlausible);
    if (found == begin + m_held) {
        clear();
        return;
    }
    remove(static_cast<std::size_t>(found - begin));
}

void ReplyFramer::dropThroughTerminator() {
    std::size_t position = 0;
    if (findTerminator(position)) {
        remove(position + 1);
    } else {
        clear();
    }
}

bool ReplyFramer::dropLeadingGarbage() {
    for (std::size_t i = 0; i < m_held; ++i) {
        const std::uint8_t c = m_buffer[i];
        const bool garbage = i < 2 ? !isUpper(c) : !isReplyText(c);
        if (garbage) {
            remove(i + 1);
            return true;
        }
    }
    return false;
}

}  // namespace tqm
