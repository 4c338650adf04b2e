#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "serial/frame_rules.h"

namespace tqm {

// Where a complete reply goes: its text without the ";".
class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual void deliver(const char* text, std::size_t length) = 0;
};

// What one framing step did.
enum class FrameStep : std::uint8_t {
    Empty,      // nothing held
    Waiting,    // a frame is incomplete: wait for more bytes
    Delivered,  // one reply went to the sink
    Dropped,    // bytes were thrown away (garbage, a damaged reply)
};

// Cuts the received byte stream into replies. It holds up to 16383 bytes from
// index 0; every byte behind them is 0xFF. Each step recognises at most one frame
// and delivers or drops it, as one poll of the receive thread does:
//   "EX" by the menu list, "KM" and "ID" by a scan for ";", known letters by the
//   reply table, other letters by the first ";". A framing error or break skips to
//   the next plausible character; a reply without its ";" where it should end is
//   dropped through the next ";"; leading garbage goes one byte per step; a menu
//   reply for an item that is not in the list goes through its ";".
// No threads, no I/O: fed with bytes by the receive thread, tests and benchmarks.
class ReplyFramer final {
public:
    static constexpr std::size_t kCapacity = 16384;
    static constexpr std::uint8_t kEndMark = 0xFF;

    explicit ReplyFramer(const FrameRules& rules);

    // Empties the buffer and forgets any recognised frame.
    void reset();

    std::size_t held() const { return m_held; }
    // Bytes that fit behind the held ones (one place stays for the end mark).
    std::size_t freeSpace() const { return kCapacity - 1 - m_held; }
    // Where new bytes go; at most freeSpace() of them.
    std::uint8_t* tail() { return m_buffer.data() + m_held; }
    // Takes count bytes written at tail(). False when nothing is held afterwards.
    bool commit(std::size_t count);
    // One framing step on the held bytes, given the line errors of this poll.
    FrameStep step(std::uint32_t lineErrors, FrameSink& sink);
    // One poll's worth: copies what fits of the bytes, commits and steps. Returns the
    // number of bytes taken (the caller keeps the rest for the next call).
    std::size_t feed(const std::uint8_t* bytes, std::size_t count, std::uint32_t lineErrors, FrameSink& sink,
                     FrameStep* outcome = nullptr);

    // Forgets a recognised frame (the line was lost under it).
    void loseFrame() { m_frameFound = false; }
    bool frameFound() const { return m_frameFound; }
    std::size_t frameLength() const { return m_frameLength; }
    const std::uint8_t* data() const { return m_buffer.data(); }

private:
    enum class Recognition : std::uint8_t { Found, Incomplete, Rejected };

    Recognition recognise(std::size_t& length) const;
    Recognition recogniseMenuReply(std::size_t& length) const;
    Recognition scanForTerminator(std::size_t limit, std::size_t& length) const;
    FrameStep dropUnrecognised(Recognition recognition);
    bool findTerminator(std::size_t& position) const;
    void remove(std::size_t count);
    void clear();
    void resynchronise();
    void dropThroughTerminator();
    bool dropLeadingGarbage();

    const FrameRules& m_rules;
    std::array<std::uint8_t, kCapacity> m_buffer;
    std::size_t m_held = 0;
    bool m_frameFound = false;
    std::size_t m_frameLength = 0;
};

}  // namespace tqm
