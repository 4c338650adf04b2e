#pragma once

#include <cstdint>
#include <filesystem>

#include <QtWidgets/QDialog>

#include "serial/port_dialog_controller.h"

namespace tqm {

class CMarkComboBox;

// What the COM Select and Baud rate dialogs share: the list of the setting's values
// with the one in use marked red, the selection, OK and CANCEL. The logic lives in
// PortDialogController; this class only shows it.
class CPortSettingDlg : public QDialog {
    Q_OBJECT

public:
    ~CPortSettingDlg() override;

    const PortDialogController& controller() const { return m_controller; }
    CMarkComboBox* list() const { return m_list; }

    // OK: blocks while the transceiver switches auto information off (up to 2.9 s)
    // and, when the port cannot be opened, while the notice box is up; the dialog
    // then stays open.
    void accept() override;

protected:
    CPortSettingDlg(PortSetting setting, std::int32_t shownSet, std::filesystem::path settingsBase,
                    QWidget* parent);
    // Finds the list, OK and CANCEL, fills the list and connects them; called once the
    // template is set up.
    void attach();

private:
    void showProbeFailed();

    PortDialogController m_controller;
    CMarkComboBox* m_list = nullptr;
};

}  // namespace tqm
