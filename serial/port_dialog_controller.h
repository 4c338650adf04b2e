#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tqm {

// Which port setting a dialog changes.
enum class PortSetting : std::uint8_t { ComPort, BaudRate };

// What OK leaves for the dialog to do.
enum class PortDialogOk : std::uint8_t {
    Close,        // the dialog closes
    ProbeFailed,  // the chosen port cannot be opened: tell the operator, stay open, nothing changed
};

// One entry of a port dialog's list.
struct PortDialogRow {
    std::string text;          // what the list shows
    std::int32_t value = 0;    // port number or baud rate
    bool present = true;       // COM ports: something exists at the mapped device path
};

// The logic of the COM Select and Baud rate dialogs, without the toolkit: the rows in
// table order, the marked row of the setting in use, the selection, and OK. User-interface
// thread only.
class PortDialogController final {
public:
    static constexpr int kAutoInfoChecks = 29;
    static constexpr std::chrono::milliseconds kAutoInfoInterval{100};

    // shownSet is the main window's shown equalizer set, saved with the port settings;
    // settingsBase is the directory the settings file lives under (empty: the settings folder).
    PortDialogController(PortSetting setting, std::int32_t shownSet, std::filesystem::path settingsBase = {});

    PortSetting setting() const { return m_setting; }
    const std::vector<PortDialogRow>& rows() const { return m_rows; }
    // The row of the setting in use (drawn in red); 0 when none matches.
    int markedIndex() const { return m_markedIndex; }
    // 0 while nothing is chosen.
    std::int32_t selectedValue() const { return m_selected; }

    // A list selection; an index outside the rows is ignored.
    void select(int index);
    // Blocks up to kAutoInfoChecks x kAutoInfoInterval while the transceiver switches
    // auto information off. For a changed COM port the chosen port is probed first.
    // A changed setting switches auto information off, closes the port and takes the
    // new value; every OK with a choice saves the settings file.
    PortDialogOk ok();

    // Blocks up to kAutoInfoChecks x kAutoInfoInterval: switches auto information off
    // while the port is still open, then closes the port, so that the next command
    // opens it with a changed setting. When the transceiver never reports auto
    // information off, the port stays open.
    static void switchLinkOffAndClose();

private:
    std::int32_t currentValue() const;
    void store(std::int32_t value) const;

    PortSetting m_setting;
    std::int32_t m_shownSet;
    std::filesystem::path m_settingsBase;
    std::vector<PortDialogRow> m_rows;
    int m_markedIndex = 0;
    std::int32_t m_selected = 0;
};

}  // namespace tqm
