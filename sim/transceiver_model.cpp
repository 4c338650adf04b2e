#include "sim/transceiver_model.h"

#include <algorithm>
#include <cstdio>

#include "sim/menu_item_table.h"

namespace tqm::sim {
namespace {

constexpr const char* kRejected = "?;";
constexpr std::size_t kFrequencyDigits = 8;

bool allDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int digitsValue(std::string_view text) {
    int value = 0;
    for (char c : text) {
        value = value * 10 + (c - '0');
    }
    return value;
}

std::size_t menuSlot(int number) {
    const auto items = menuItems();
    const auto it = std::find_if(items.begin(), items.end(), [number](const MenuItem& item) { return item.number == number; });
    return static_cast<std::size_t>(it - items.begin());
}

}  // namespace

TransceiverModel::TransceiverModel(const SimConfig& config)
    : m_poweredOn(!startsPoweredOff(config)),
      m_refuseAi(config.refuseAi),
      m_modelCode(config.modelCode),
      m_idSuffix(config.idSuffix) {
    for (std::size_t i = 0; i < kPeCount; ++i) {
        const PeAddress address = peAddressAt(i);
        m_peq[i] = peValueInRange(address, config.peq[i]) ? config.peq[i] : radioStartValues()[i];
    }
    for (const MenuItem& item : menuItems()) {
        m_menu.push_back(item.startValue);
    }
}

std::string TransceiverModel::handle(std::string_view command) {
    if (command.size() < 3 || command.back() != ';') {
        return m_poweredOn ? kRejected : "";
    }
    const std::string_view letters = command.substr(0, 2);
    const std::string_view params = command.substr(2, command.size() - 3);
    if (!m_poweredOn) {
        return letters == "PS" && params.empty() ? "PS0;" : "";
    }
    for (const CommandEntry& entry : s_commands) {
        if (letters == entry.letters) {
            return (this->*entry.handler)(params);
        }
    }
    return kRejected;
}

bool TransceiverModel::frontPanelChange(const PeAddress& address, int value, std::string& report) {
    report.clear();
    if (!m_poweredOn || !setPeValue(address, value)) {
        return false;
    }
    if (m_autoInfo) {
        report = formatPeReport(address, value);
    }
    return true;
}

bool TransceiverModel::setPeValue(const PeAddress& address, int value) {
    if (!peValueInRange(address, value)) {
        return false;
    }
    m_peq[peIndex(address)] = value;
    return true;
}

std::optional<int> TransceiverModel::menuValue(int number) const {
    if (findMenuItem(number) == nullptr) {
        return std::nullopt;
    }
    return m_menu[menuSlot(number)];
}

bool TransceiverModel::setMenuValue(int number, int value) {
    const MenuItem* item = findMenuItem(number);
    if (item == nullptr || value < item->min || value > item->max) {
        return false;
    }
    m_menu[menuSlot(number)] = value;
    return true;
}

bool TransceiverModel::setFrequency(Vfo vfo, int hertz) {
    if (hertz < kMinFrequency || hertz > kMaxFrequency) {
        return false;
    }
    (vfo == Vfo::A ? m_frequencyA : m_frequencyB) = hertz;
    return true;
}

void TransceiverModel::powerOff() {
    m_poweredOn = false;
    m_autoInfo = false;
}

void TransceiverModel::powerOn() {
    if (!m_poweredOn) {
        m_poweredOn = true;
        m_autoInfo = false;
    }
}

std::string TransceiverModel::onAi(std::string_view params) {
    if (params.empty()) {
        return m_autoInfo ? "AI1;" : "AI0;";
    }
    if (params == "0" || params == "1") {
        m_autoInfo = params == "1" && !m_refuseAi;
        return "";
    }
    return kRejected;
}

std::string TransceiverModel::onId(std::string_view params) {
    if (params.empty()) {
        return "ID" + m_modelCode + ";";
    }
    if (params.size() == 4 && allDigits(params)) {
        char suffix[8] = {};
        std::snprintf(suffix, sizeof suffix, "%03d", m_idSuffix % 1000);
        return "ID" + m_modelCode + suffix + ";";
    }
    return kRejected;
}

std::string TransceiverModel::onPe(std::string_view params) {
    const std::optional<PeAddress> address = parsePeAddress(params.substr(0, 3));
    if (!address || (params.size() != 3 && params.size() != 6)) {
        return kRejected;
    }
    if (params.size() == 3) {
        return formatPeReport(*address, peValue(*address));
    }
    const std::optional<int> value = parsePeValue(*address, params.substr(3));
    if (!value) {
        return kRejected;
    }
    setPeValue(*address, *value);  // a value out of range is ignored
    return "";
}

std::string TransceiverModel::onPs(std::string_view params) {
    return params.empty() ? "PS1;" : kRejected;
}

std::string TransceiverModel::onEx(std::string_view params) {
    if (params.size() < 3 || !allDigits(params.substr(0, 3))) {
        return kRejected;
    }
    const MenuItem* item = findMenuItem(digitsValue(params.substr(0, 3)));
    if (item == nullptr) {
        return kRejected;
    }
    if (params.size() == 3) {
        return "EX" + std::string(params) + formatMenuValue(*item, m_menu[menuSlot(item->number)]) + ";";
    }
    const std::optional<int> value = parseMenuValue(*item, params.substr(3));
    if (!value) {
        return kRejected;
    }
    setMenuValue(item->number, *value);  // a value out of range is ignored
    return "";
}

std::string TransceiverModel::onFa(std::string_view params) { return onVfo(Vfo::A, params); }

std::string TransceiverModel::onFb(std::string_view params) { return onVfo(Vfo::B, params); }

std::string TransceiverModel::onVfo(Vfo vfo, std::string_view params) {
    if (params.empty()) {
        char text[16] = {};
        std::snprintf(text, sizeof text, "%c%c%08d;", 'F', vfo == Vfo::A ? 'A' : 'B', frequency(vfo));
        return text;
    }
    if (params.size() != kFrequencyDigits || !allDigits(params)) {
        return kRejected;
    }
    setFrequency(vfo, digitsValue(params));  // a frequency out of range is ignored
    return "";
}

}  // namespace tqm::sim
