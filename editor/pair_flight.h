#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "editor/equalizer_values.h"

namespace tqm {

// The set-and-read pairs that edits on the graph put on the line. A drag can ask for
// a new value many times a second, faster than a slow line carries the pairs, so each
// of the 27 values has at most one pair on the line: a value asked for while its
// read-back is still out waits, a later wish replaces it, and it goes out when the
// read-back has come. Every read of a value counts (the poll's too), because its
// reply is the one the line gives back first. Replies can be lost on a noisy line,
// and a lost one would keep its value counted busy for good, however many later
// reads are answered: a value that has not been free for kLostAfter counts as free.
// Used on the user-interface thread only.
class PairFlight final {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kLostAfter{2000};

    // A value to send now, with its read-back.
    struct Due {
        int set;
        int p;
        std::int32_t value;
    };

    // A read of the value went out.
    void noteRead(int set, int p, Clock::time_point now);
    // A reply naming the value came in.
    void noteReply(int set, int p);
    // True while a read of the value is unanswered, for less than kLostAfter.
    bool inFlight(int set, int p, Clock::time_point now) const;
    // The operator wants the value to become `value`; the latest wish wins. A wish for
    // the value that is already on its way is dropped.
    void want(int set, int p, std::int32_t value, Clock::time_point now);
    // Where an edit of the value stands: the wish waiting, else the value on its way.
    std::optional<std::int32_t> editing(int set, int p) const;
    // Takes every wish whose value has no read on the line; each becomes the value on
    // its way, and the caller sends it with its read-back.
    std::vector<Due> takeDue(Clock::time_point now);
    // Forgets the wishes; the reads on the line stay counted.
    void dropWishes();
    // Forgets everything (the link went up or down).
    void clear() { m_slots = {}; }

private:
    struct Slot {
        int reads = 0;
        Clock::time_point busySince{};  // when the count last rose from 0
        std::optional<std::int32_t> sent;
        std::optional<std::int32_t> wanted;
    };
    static constexpr std::size_t kValueCount = kEqualizerSets * kEqualizerParams;

    static std::size_t slotIndex(int set, int p);
    static bool isBusy(const Slot& slot, Clock::time_point now) {
        return slot.reads > 0 && now - slot.busySince < kLostAfter;
    }
    Slot* find(int set, int p);
    const Slot* find(int set, int p) const;

    std::array<Slot, kValueCount> m_slots{};
};

}  // namespace tqm
