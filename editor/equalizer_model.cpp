#include "editor/equalizer_model.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "editor/equalizer_tables.h"
#include "editor/step_table.h"
#include "protocol/pe_command.h"
#include "protocol/trx_state.h"

namespace tqm {

namespace {

void sleepFor(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

std::string formatInt(const char* format, std::int32_t value) {
    char text[24];
    std::snprintf(text, sizeof text, format, static_cast<int>(value));
    return text;
}

}  // namespace

EqualizerModel::EqualizerModel(CommandSink& sink, EqualizerView* view)
    : m_sink(sink), m_view(view), m_pause(sleepFor) {}

EqualizerValues EqualizerModel::readState(int set) {
    const Trx_StateGuard state;
    EqualizerValues values;
    for (int p = 0; p < kEqualizerParams; ++p) {
        values[p] = state.getPeq(set, bandOfParam(p), kindOfParam(p));
    }
    return values;
}

void EqualizerModel::reloadFromState() {
    for (int set = 0; set < kEqualizerSets; ++set) {
        if (m_reloadScope == kAllSets || m_reloadScope == set) {
            m_shown[index(set)] = readState(set);
            m_reference[index(set)] = m_shown[index(set)];
        }
    }
}

bool EqualizerModel::takeChangedFromState() {
    if (m_shownHeld) return false;
    const EqualizerValues state = readState(m_currentSet);
    EqualizerValues& shown = m_shown[index(m_currentSet)];
    const bool changed = !(state == shown);
    shown = state;
    return changed;
}

void EqualizerModel::setConnected(bool connected) {
    m_connected = connected;
    m_flight.clear();
}

void EqualizerModel::selectBand(int band) {
    if (band < 1 || band > kEqualizerBands || band == m_activeBand) return;
    m_activeBand = band;
    if (m_view != nullptr) m_view->showGraph();
}

void EqualizerModel::applyReference() {
    // The reference replaces whatever an edit on the graph still meant to send.
    m_flight.dropWishes();
    const EqualizerValues reference = m_reference[index(m_currentSet)];
    EqualizerValues& shown = m_shown[index(m_currentSet)];
    bool copied = false;
    for (int p = 0; p < kEqualizerParams; ++p) {
        // A value on its way from an edit on the graph is what the transceiver will hold.
        if (reference[p] == editValue(p)) {
            continue;
        }
        if (!m_connected) {
            shown[p] = reference[p];
            copied = true;
            continue;
        }
        if (m_applyGate && !m_applyGate()) {
            break;
        }
        m_reloadScope = m_currentSet;
        ++m_pendingReplies;
        sendParameter(m_currentSet, p, reference[p]);
        readParameter(m_currentSet, p);
        // Every value sent is followed by the pause, the last one too.
        if (m_pause) {
            m_pause(kApplyPacing);
        }
    }
    if (copied && m_view != nullptr) {
        m_view->scheduleRepaint();
    }
}

void EqualizerModel::acceptShown() {
    if (m_pendingReplies == 0) {
        m_reference[index(m_currentSet)] = m_shown[index(m_currentSet)];
    }
}

void EqualizerModel::applyStaged() {
    m_reference[index(m_currentSet)] = m_staged[index(m_currentSet)];
    applyReference();
}

bool EqualizerModel::step(int code) {
    const auto rule = findStepRule(code);
    if (!rule || stepBlockedWhileReplies()) {
        return false;
    }
    EqualizerValues& shown = m_shown[index(m_currentSet)];
    if (stepBlocked(*rule, shown[rule->param])) {
        return false;
    }
    const std::int32_t value = shown[rule->param] + rule->delta;
    m_activeBand = bandOfParam(rule->param) + 1;
    if (m_connected) {
        sendParameter(m_currentSet, rule->param, value);
        readParameter(m_currentSet, rule->param);
        return true;
    }
    showStep(rule->param, value);
    return true;
}

// Offline, a step shows its value at once.
void EqualizerModel::showStep(int p, std::int32_t value) {
    m_shown[index(m_currentSet)][p] = value;
    updateBandTexts(bandOfParam(p));
    if (m_view != nullptr) {
        m_view->showGraph();
    }
}

bool EqualizerModel::stepTo(int p, std::int32_t target) {
    if (p < 0 || p >= kEqualizerParams || stepBlockedWhileReplies()) {
        return false;
    }
    const ParamRange range = paramRange(p);
    const std::int32_t value = std::clamp(target, range.minimum, range.maximum);
    if (value == editValue(p)) {
        return false;
    }
    m_activeBand = bandOfParam(p) + 1;
    if (!m_connected) {
        showStep(p, value);
        return true;
    }
    m_flight.want(m_currentSet, p, value, PairFlight::Clock::now());
    sendDueEdits();
    return true;
}

bool EqualizerModel::stepBy(int p, std::int32_t delta) {
    if (p < 0 || p >= kEqualizerParams) {
        return false;
    }
    const ParamRange range = paramRange(p);
    const std::int32_t value = editValue(p) + delta;
    return value >= range.minimum && value <= range.maximum && stepTo(p, value);
}

std::int32_t EqualizerModel::editValue(int p) const {
    return m_flight.editing(m_currentSet, p).value_or(m_shown[index(m_currentSet)][p]);
}

void EqualizerModel::onPeReply(std::uintptr_t address) {
    if (address >= 1 && address <= static_cast<std::uintptr_t>(kEqualizerSets * kEqualizerParams)) {
        const int slot = static_cast<int>(address - 1);
        m_flight.noteReply(slot / kEqualizerParams, slot % kEqualizerParams);
    }
    sendDueEdits();
}

void EqualizerModel::sendDueEdits() {
    if (!m_connected || m_pendingReplies != 0) {
        return;
    }
    for (const PairFlight::Due& due : m_flight.takeDue(PairFlight::Clock::now())) {
        sendParameter(due.set, due.p, due.value);
        readParameter(due.set, due.p);
    }
}

bool EqualizerModel::pushPe(int set, int p, std::optional<std::int32_t> value) {
    char text[kPeSetLength];
    const int band = bandOfParam(p);
    const int kind = static_cast<int>(kindOfParam(p));
    const std::size_t length =
        value ? buildPeSet(set, band, kind, *value, text) : buildPeRead(set, band, kind, text);
    return length != 0 && m_sink.pushCommand(text, length);
}

bool EqualizerModel::sendParameter(int set, int p, std::int32_t value) { return pushPe(set, p, value); }

bool EqualizerModel::readParameter(int set, int p) {
    if (!pushPe(set, p, std::nullopt)) {
        return false;
    }
    m_flight.noteRead(set, p, PairFlight::Clock::now());
    return true;
}

std::string EqualizerModel::freqText(int band, std::int32_t index) {
    if (index == 0) {
        return "OFF";
    }
    return formatInt("%d Hz", freqHz(band, index));
}

std::string EqualizerModel::levelText(std::int32_t level) { return formatInt("%d dB", level); }

std::string EqualizerModel::bwthText(std::int32_t bwth) { return formatInt("%d", bwth); }

BandTexts EqualizerModel::bandTexts(int band, const EqualizerValues& values) {
    return {freqText(band, values.get(band, PeqParam::Freq)), levelText(values.get(band, PeqParam::Level)),
            bwthText(values.get(band, PeqParam::Bwth))};
}

void EqualizerModel::updateBandTexts(int band) {
    if (m_view == nullptr || band < 0 || band >= kEqualizerBands) {
        return;
    }
    m_view->showBandTexts(band, bandTexts(band, m_shown[index(m_currentSet)]));
}

void EqualizerModel::updateAllBandTexts() {
    for (int band = kEqualizerBands - 1; band >= 0; --band) {
        updateBandTexts(band);
    }
}

void EqualizerModel::updateCaptions() {
    if (m_view != nullptr) {
        m_view->showCaptions(kBandCaptions[index(m_currentSet)]);
    }
}

void EqualizerModel::selectSet(int set) {
    if (set < 0 || set >= kEqualizerSets) {
        return;
    }
    m_currentSet = set;
    updateCaptions();
    if (m_view != nullptr) {
        m_view->scheduleRepaint();
    }
}

}  // namespace tqm
