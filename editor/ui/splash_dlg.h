#pragma once

#include <QtGui/QPixmap>
#include <QtWidgets/QDialog>

namespace tqm {

// The start-up logo: a caption-less dialog that the operator cannot close. Only
// the main window closes it, when its splash timer runs out.
class CSplashDlg final : public QDialog {
    Q_OBJECT

public:
    static constexpr int kWidth = 1024;
    static constexpr int kHeight = 400;

    explicit CSplashDlg(QWidget* parent = nullptr);

    // Ends the dialog; the only way it closes.
    void closeSplash();

    // Esc and the window-manager close request do nothing.
    void reject() override {}

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QPixmap m_logo;
    bool m_closing = false;
};

}  // namespace tqm
