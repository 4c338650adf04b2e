#pragma once

#include <QtWidgets/QDialog>

namespace tqm {

// Help > Version: the program's version line and a notice under it. OK or Esc closes it.
class CVersionDlg final : public QDialog {
    Q_OBJECT

public:
    explicit CVersionDlg(QWidget* parent = nullptr);
};

}  // namespace tqm
