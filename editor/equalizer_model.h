#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "editor/command_sink.h"
#include "editor/equalizer_values.h"
#include "editor/equalizer_view.h"
#include "editor/pair_flight.h"

namespace tqm {

// The editor's copy of the transceiver's equalizer: the shown, reference and staged
// values of the three sets, the step rules, and the moves between them and the
// transceiver state. Used on the user-interface thread only.
class EqualizerModel final {
public:
    static constexpr int kAllSets = 3;
    static constexpr std::chrono::milliseconds kApplyPacing{25};

    // How the model waits after each value of one apply: a plain sleep that blocks
    // the window's thread. Tests and the fuzzer install one that does not wait.
    using Pause = std::function<void(std::chrono::milliseconds)>;

    // Asked before each value of a connected apply is sent; false ends the apply
    // there, and the values sent so far still await their read-backs. The window has
    // none; the command-line tool stops an apply on an interrupt with it.
    using ApplyGate = std::function<bool()>;

    explicit EqualizerModel(CommandSink& sink, EqualizerView* view = nullptr);

    void setView(EqualizerView* view) { m_view = view; }
    void setPause(Pause pause) { m_pause = std::move(pause); }
    void setApplyGate(ApplyGate gate) { m_applyGate = std::move(gate); }

    int currentSet() const { return m_currentSet; }
    int activeBand() const { return m_activeBand; }
    void setActiveBand(int band) { m_activeBand = band; }
    // Chooses the band (1..3) drawn on top and redraws the graph when it changed.
    void selectBand(int band);
    bool connected() const { return m_connected; }
    // Going up or down, the link forgets the edits it was carrying.
    void setConnected(bool connected);
    int pendingReplies() const { return m_pendingReplies; }
    void setPendingReplies(int count) { m_pendingReplies = count; }
    int reloadScope() const { return m_reloadScope; }
    void setReloadScope(int scope) { m_reloadScope = scope; }

    const EqualizerValues& shown(int set) const { return m_shown[index(set)]; }
    const EqualizerValues& reference(int set) const { return m_reference[index(set)]; }
    const EqualizerValues& staged(int set) const { return m_staged[index(set)]; }
    void setShown(int set, const EqualizerValues& values) { m_shown[index(set)] = values; }
    void setReference(int set, const EqualizerValues& values) { m_reference[index(set)] = values; }
    // Stores one value parsed from a setting file into the current set's staged copy.
    void stageValue(int p, std::int32_t value) { m_staged[index(m_currentSet)][p] = value; }

    // Copies the sets selected by the reload scope from the transceiver state into
    // both the shown and the reference values.
    void reloadFromState();
    // Copies every transceiver value of the current set that differs into the shown
    // values; true when at least one differed. Nothing while the shown values are held.
    bool takeChangedFromState();
    // Holds the shown values of the current set: while a proposal stands in their place,
    // what the transceiver reports goes to its state only, not over the proposal.
    void holdShown(bool held) { m_shownHeld = held; }
    // Brings the current set back to its reference values. Connected, each differing
    // value is sent with its read-back; blocks 25 ms (the pause) after each value sent.
    void applyReference();
    // APPLI: the current set's shown values become its reference, unless replies are awaited.
    void acceptShown();
    // Copies the current set's staged values to its reference, then applies them.
    // Blocks like applyReference.
    void applyStaged();
    // One step of one parameter by step code 4..21; false when it was ignored.
    bool step(int code);
    // A step of parameter p (0..8) of the current set to a value, for edits on the
    // graph: the rules of step() with the target held to the parameter's range.
    // Offline the shown value changes at once. Connected, the value goes out as a set
    // command with its read-back, at most one pair per value on the line: while one is
    // out the latest target waits and goes when the read-back comes (onPeReply).
    // False when nothing changes or the step is ignored.
    bool stepTo(int p, std::int32_t target);
    // stepTo by one step up (+1) or down (-1) from editValue; ignored at the limit.
    bool stepBy(int p, std::int32_t delta);
    // Where an edit of p of the current set stands: the target waiting or on its way
    // to the transceiver, else the shown value.
    std::int32_t editValue(int p) const;
    // A PE reply came in and was stored; address as the notification carries it
    // (1 + 9 * set + p, 0 unknown). Sends a waiting target whose read-back is in.
    void onPeReply(std::uintptr_t address);
    // Queue one set or read "PE" command; false when the sink refused it.
    bool sendParameter(int set, int p, std::int32_t value);
    bool readParameter(int set, int p);
    // Shows the three value texts of one band (0..2) of the current set.
    void updateBandTexts(int band);
    // Shows the value texts of all three bands of the current set, EQ3 first.
    void updateAllBandTexts();
    // Shows the three band captions of the current set.
    void updateCaptions();
    // Shows another set (0..2); nothing is sent.
    void selectSet(int set);

    static BandTexts bandTexts(int band, const EqualizerValues& values);
    static std::string freqText(int band, std::int32_t index);
    static std::string levelText(std::int32_t level);
    static std::string bwthText(std::int32_t bwth);

private:
    static std::size_t index(int set) { return static_cast<std::size_t>(set); }
    static EqualizerValues readState(int set);
    bool pushPe(int set, int p, std::optional<std::int32_t> value);
    bool stepBlockedWhileReplies() const { return m_connected && m_pendingReplies != 0; }
    void showStep(int p, std::int32_t value);
    void sendDueEdits();

    CommandSink& m_sink;
    EqualizerView* m_view = nullptr;
    Pause m_pause;
    ApplyGate m_applyGate;

    std::array<EqualizerValues, kEqualizerSets> m_shown{};
    std::array<EqualizerValues, kEqualizerSets> m_reference{};
    std::array<EqualizerValues, kEqualizerSets> m_staged{};
    int m_currentSet = 0;
    int m_activeBand = 1;
    bool m_connected = false;
    bool m_shownHeld = false;
    int m_pendingReplies = 0;
    int m_reloadScope = kAllSets;
    PairFlight m_flight;
};

}  // namespace tqm
