#include "serial/port_dialog_controller.h"

#include <thread>

#include "protocol/anl_send.h"
#include "protocol/trx_state.h"
#include "serial/comm_setting_file.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "serial/sio_port_tables.h"

namespace tqm {
namespace {

constexpr const char* kAbsentNote = "  (not present)";
// In place of the target of a COM number whose port map entry cannot be used.
constexpr const char* kUnusableNote = "unusable entry";

std::vector<PortDialogRow> comPortRows() {
    std::vector<PortDialogRow> rows;
    const PortMap map;
    for (const Sio_PortName& entry : kSioPortNames) {
        if (entry.number == 0) break;
        PortDialogRow row;
        row.value = entry.number;
        const PortMapEntry mapped = map.entry(entry.number);
        row.present = map.deviceExists(entry.number);
        row.text = std::string(entry.name) + "  " +
                   (mapped.usable() ? mapped.target.text + (row.present ? "" : kAbsentNote) : kUnusableNote);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<PortDialogRow> baudRateRows() {
    std::vector<PortDialogRow> rows;
    for (const Sio_BaudRow& entry : kSioBaudRates) {
        if (entry.baud == 0) break;
        rows.push_back({entry.name, entry.baud, true});
    }
    return rows;
}

bool autoInfoOn() { return Trx_StateGuard().get(StateField::AutoInfo) != 0; }

}  // namespace

PortDialogController::PortDialogController(PortSetting setting, std::int32_t shownSet,
                                           std::filesystem::path settingsBase)
    : m_setting(setting),
      m_shownSet(shownSet),
      m_settingsBase(std::move(settingsBase)),
      m_rows(setting == PortSetting::ComPort ? comPortRows() : baudRateRows()) {
    const std::int32_t current = currentValue();
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].value == current) {
            m_markedIndex = static_cast<int>(i);
            break;
        }
    }
}

void PortDialogController::select(int index) {
    if (index < 0 || index >= static_cast<int>(m_rows.size())) return;
    m_selected = m_rows[static_cast<std::size_t>(index)].value;
}

PortDialogOk PortDialogController::ok() {
    if (m_selected == 0) return PortDialogOk::Close;
    if (m_selected != currentValue()) {
        // Row index of a port = port number - 1.
        if (m_setting == PortSetting::ComPort && !Sio_Port().probe(m_selected - 1)) {
            return PortDialogOk::ProbeFailed;
        }
        switchLinkOffAndClose();
    }
    store(m_selected);
    if (m_settingsBase.empty()) {
        CommSettingFile::save(m_shownSet);
    } else {
        CommSettingFile::save(m_settingsBase, m_shownSet);
    }
    return PortDialogOk::Close;
}

std::int32_t PortDialogController::currentValue() const {
    const Sio_Port port;
    return m_setting == PortSetting::ComPort ? port.portNumber() : port.baudRate();
}

// Auto information is switched off while the port is still open, so that "AI0;" reaches
// the transceiver; the port closes once the transceiver has reported it off.
void PortDialogController::switchLinkOffAndClose() {
    Sio_Port port;
    if (!autoInfoOn()) {
        port.close();
        return;
    }
    Anl_Send().postLinkToggle();
    for (int check = 0; check < kAutoInfoChecks; ++check) {
        if (!autoInfoOn()) {
            port.close();
            return;
        }
        if (check + 1 < kAutoInfoChecks) std::this_thread::sleep_for(kAutoInfoInterval);
    }
}

void PortDialogController::store(std::int32_t value) const {
    Sio_Port port;
    if (m_setting == PortSetting::ComPort) {
        port.setPortNumber(value);
    } else {
        port.setBaudRate(value);
    }
}

}  // namespace tqm
