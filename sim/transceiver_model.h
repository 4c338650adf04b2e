#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/peq_value_table.h"
#include "sim/sim_config.h"

namespace tqm::sim {

// What the simulated transceiver knows and how it answers one command. It does no
// input or output and takes no lock: its owner serialises every call.
//
// A set command over the line gives no reply; a read gives exactly one; a command
// it does not know, or cannot read, gives "?;". While the power is off only "PS;"
// is answered.
class TransceiverModel final {
public:
    enum class Vfo { A, B };

    static constexpr int kMinFrequency = 30000;
    static constexpr int kMaxFrequency = 60000000;

    explicit TransceiverModel(const SimConfig& config);

    // Handles one command (two letters, parameters, ";"); returns the reply, or an
    // empty text when there is none.
    std::string handle(std::string_view command);

    // A change made on the front panel. False when the value is out of range or the
    // power is off (nothing changes). When auto information is on, report receives
    // the change report for the line; otherwise it is left empty.
    bool frontPanelChange(const PeAddress& address, int value, std::string& report);

    int peValue(const PeAddress& address) const { return m_peq[peIndex(address)]; }
    // Stores a value without any report; false when it is out of range.
    bool setPeValue(const PeAddress& address, int value);

    std::optional<int> menuValue(int number) const;
    bool setMenuValue(int number, int value);

    int frequency(Vfo vfo) const { return vfo == Vfo::A ? m_frequencyA : m_frequencyB; }
    bool setFrequency(Vfo vfo, int hertz);

    // Power off forgets auto information; power on starts with it off.
    void powerOff();
    void powerOn();
    bool isPoweredOn() const { return m_poweredOn; }
    bool autoInformation() const { return m_autoInfo; }

    void setModelCode(const std::string& code) { m_modelCode = code; }
    const std::string& modelCode() const { return m_modelCode; }
    void setIdSuffix(int suffix) { m_idSuffix = suffix; }
    void setRefuseAi(bool refuse) { m_refuseAi = refuse; }

private:
    struct CommandEntry {
        char letters[3];
        std::string (TransceiverModel::*handler)(std::string_view params);
    };

    std::string onAi(std::string_view params);
    std::string onId(std::string_view params);
    std::string onPe(std::string_view params);
    std::string onPs(std::string_view params);
    std::string onEx(std::string_view params);
    std::string onFa(std::string_view params);
    std::string onFb(std::string_view params);
    std::string onVfo(Vfo vfo, std::string_view params);

    PeqValues m_peq;
    std::vector<int> m_menu;  // one value per entry of menuItems()
    int m_frequencyA = 14200000;
    int m_frequencyB = 7050000;
    bool m_poweredOn = true;
    bool m_autoInfo = false;
    bool m_refuseAi = false;
    std::string m_modelCode;
    int m_idSuffix = 1;

public:
    static constexpr CommandEntry s_commands[] = {
        {"AI", &TransceiverModel::onAi}, {"ID", &TransceiverModel::onId},
        {"PE", &TransceiverModel::onPe}, {"PS", &TransceiverModel::onPs},
        {"EX", &TransceiverModel::onEx}, {"FA", &TransceiverModel::onFa},
        {"FB", &TransceiverModel::onFb},
    };
};

}  // namespace tqm::sim
