#include "editor/ui/port_setting_dlg.h"

#include <QtWidgets/QPushButton>

#include "editor/string_table.h"
#include "editor/ui/control_id.h"
#include "editor/ui/mark_combo_box.h"
#include "editor/ui/notice_box.h"
#include "editor/ui/qt_text.h"

namespace tqm {

CPortSettingDlg::CPortSettingDlg(PortSetting setting, std::int32_t shownSet, std::filesystem::path settingsBase,
                                 QWidget* parent)
    : QDialog(parent), m_controller(setting, shownSet, std::move(settingsBase)) {}

CPortSettingDlg::~CPortSettingDlg() = default;

void CPortSettingDlg::attach() {
    m_list = &requireControl<CMarkComboBox>(*this, ControlId::PortList);
    m_list->setMarkedIndex(m_controller.markedIndex());
    for (const PortDialogRow& row : m_controller.rows()) {
        auto* item = new QListWidgetItem(toQString(row.text), m_list);
        item->setToolTip(item->text());
    }
    // The list opens on the value in use; it is not a choice until the operator makes one.
    m_list->setCurrentRow(m_controller.markedIndex());
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) { m_controller.select(row); });
    // A double-click chooses the entry and confirms it.
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        m_controller.select(m_list->row(item));
        accept();
    });
    connect(&requireControl<QPushButton>(*this, ControlId::DialogOk), &QPushButton::clicked, this,
            &CPortSettingDlg::accept);
    connect(&requireControl<QPushButton>(*this, ControlId::DialogCancel), &QPushButton::clicked, this,
            &CPortSettingDlg::reject);
}

void CPortSettingDlg::accept() {
    if (m_controller.ok() == PortDialogOk::ProbeFailed) {
        showProbeFailed();
        return;
    }
    QDialog::accept();
}

void CPortSettingDlg::showProbeFailed() {
    // The port layer kept why the chosen port did not open.
    showNoticeBox(this, IDS_PORT_PROBE_FAILED);
}

}  // namespace tqm
