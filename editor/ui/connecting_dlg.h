#pragma once

#include <QtWidgets/QDialog>

class QLabel;

namespace tqm {

// "Connecting the COM port now.": a box without caption that only the main window
// closes. Its OK and Cancel buttons exist but are hidden; Enter, Esc and the close
// request leave it open.
class CConnectingDlg final : public QDialog {
    Q_OBJECT

public:
    explicit CConnectingDlg(QWidget* parent = nullptr);

    // Closes the box from the window's side (ends exec()).
    void closeByWindow();

    void accept() override {}
    void reject() override {}

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* m_text = nullptr;
    bool m_closing = false;
};

}  // namespace tqm
