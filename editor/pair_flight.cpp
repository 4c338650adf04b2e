#include "editor/pair_flight.h"

namespace tqm {

std::size_t PairFlight::slotIndex(int set, int p) {
    if (set < 0 || set >= kEqualizerSets || p < 0 || p >= kEqualizerParams) return kValueCount;
    return static_cast<std::size_t>(set * kEqualizerParams + p);
}

PairFlight::Slot* PairFlight::find(int set, int p) {
    const std::size_t index = slotIndex(set, p);
    return index < kValueCount ? &m_slots[index] : nullptr;
}

const PairFlight::Slot* PairFlight::find(int set, int p) const {
    const std::size_t index = slotIndex(set, p);
    return index < kValueCount ? &m_slots[index] : nullptr;
}

void PairFlight::noteRead(int set, int p, Clock::time_point now) {
    Slot* slot = find(set, p);
    if (slot == nullptr) return;
    if (!isBusy(*slot, now)) {
        slot->reads = 0;
        slot->busySince = now;
    }
    ++slot->reads;
}

void PairFlight::noteReply(int set, int p) {
    Slot* slot = find(set, p);
    // Replies nobody asked for (a knob turned on the radio, the start-up read) count
    // for nothing.
    if (slot == nullptr || slot->reads == 0) return;
    if (--slot->reads == 0) slot->sent.reset();
}

bool PairFlight::inFlight(int set, int p, Clock::time_point now) const {
    const Slot* slot = find(set, p);
    return slot != nullptr && isBusy(*slot, now);
}

void PairFlight::want(int set, int p, std::int32_t value, Clock::time_point now) {
    Slot* slot = find(set, p);
    if (slot == nullptr) return;
    if (inFlight(set, p, now) && slot->sent == value) {
        slot->wanted.reset();
    } else {
        slot->wanted = value;
    }
}

std::optional<std::int32_t> PairFlight::editing(int set, int p) const {
    const Slot* slot = find(set, p);
    if (slot == nullptr) return std::nullopt;
    if (slot->wanted) return slot->wanted;
    return slot->reads > 0 ? slot->sent : std::nullopt;
}

std::vector<PairFlight::Due> PairFlight::takeDue(Clock::time_point now) {
    std::vector<Due> due;
    for (std::size_t index = 0; index < kValueCount; ++index) {
        Slot& slot = m_slots[index];
        if (!slot.wanted) continue;
        if (isBusy(slot, now)) continue;
        slot.reads = 0;
        const int set = static_cast<int>(index) / kEqualizerParams;
        const int p = static_cast<int>(index) % kEqualizerParams;
        due.push_back({set, p, *slot.wanted});
        slot.sent = slot.wanted;
        slot.wanted.reset();
    }
    return due;
}

void PairFlight::dropWishes() {
    for (Slot& slot : m_slots) slot.wanted.reset();
}

}  // namespace tqm
