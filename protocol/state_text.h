#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tqm {

// A text member of the transceiver state: a 52-byte area (the text and its
// terminating zero) and a length limit. A reader on another thread always gets
// one whole text: writes are framed by a sequence counter and a reader retries
// until it has copied the area between two equal, even counts.
class StateText final {
public:
    static constexpr std::size_t kAreaSize = 52;

    // Clears the whole area and sets the limit.
    void reset(std::int32_t limit);
    // False when text is null, length is negative or above the limit; otherwise the
    // area is cleared and the text copied up to its terminating zero (at most length
    // characters).
    bool set(std::int32_t length, const char* text);
    std::string get() const;
    std::int32_t limit() const { return m_limit.load(std::memory_order_acquire); }

private:
    std::uint32_t beginWrite();
    void endWrite(std::uint32_t sequence);
    void fill(const char* text, std::size_t count);

    std::array<std::atomic<char>, kAreaSize> m_area{};
    std::atomic<std::int32_t> m_limit{0};
    std::atomic<std::uint32_t> m_sequence{0};
};

}  // namespace tqm
