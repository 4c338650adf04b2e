#pragma once

#include <memory>

#include <QtWidgets/QDialog>

namespace Ui {
class VersionDlg;
}

namespace tqm {

// Help > Version: the program's version line and a notice under it. OK or Esc closes it.
class CVersionDlg final : public QDialog {
    Q_OBJECT

public:
    explicit CVersionDlg(QWidget* parent = nullptr);
    ~CVersionDlg() override;

private:
    std::unique_ptr<Ui::VersionDlg> m_ui;
};

}  // namespace tqm
