#pragma once

#include <filesystem>
#include <vector>

#include <QtWidgets/QDialog>

#include "platform/serial_port_discovery.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QTreeWidget;

namespace tqm {

// Setup > Ports...: the serial devices found on the machine and, for COM1..COM20, the
// device each opens. The operator binds a COM number to a found device or a typed
// target; the binding goes into the port map file in the settings folder, under the
// device's stable name where it has one. Rebinding the port in use takes the link
// down and closes the port, so that the next command opens the new device.
class CPortsDlg final : public QDialog {
    Q_OBJECT

public:
    // Devices are looked for below deviceRoot (tests give a made-up tree).
    explicit CPortsDlg(QWidget* parent = nullptr, std::filesystem::path deviceRoot = "/");

    // Blocks on writing the port map file, and while the transceiver switches auto
    // information off when the port in use changes (up to 2.9 s). An empty target
    // goes back to the COM number's default device. False, with the reason shown in
    // the dialog, when the target is refused or the file cannot be written.
    bool bind(int comNumber, const QString& target);

private:
    void buildControls();
    void fillDevices();
    void fillComNumbers();
    void chooseDevice();
    void showResult(const QString& text, bool failed);

    std::filesystem::path m_deviceRoot;
    std::vector<FoundSerialPort> m_found;
    QTreeWidget* m_devices = nullptr;
    QTreeWidget* m_comNumbers = nullptr;
    QComboBox* m_comChoice = nullptr;
    QLineEdit* m_target = nullptr;
    QLabel* m_result = nullptr;
};

}  // namespace tqm
