#pragma once

#include <cstdint>

#include <QtWidgets/QPushButton>

#include "editor/ui/button_codes.h"
#include "platform/main_window_link.h"

namespace tqm {

// Push button that reports every press and release to its owner window as a
// synchronous UWM_BUTTON_EVENT (wParam: the button's code, lParam: 1 pressed,
// 0 released), by mouse, space bar or Enter, so the owner can act on press,
// repeat while held and act on release.
class CStepButton final : public QPushButton {
    Q_OBJECT

public:
    explicit CStepButton(QWidget* parent = nullptr);

    // Codes 4..21 step a value; 22..27 are the command buttons.
    void setCode(std::int32_t code) { m_code = code; }
    std::int32_t code() const { return m_code; }
    // Where the notifications go (the main window's message adapter); null sends nothing.
    void setOwner(WindowEndpoint* owner) { m_owner = owner; }
    // True while a press by space bar or Enter is in progress.
    bool keyHeld() const { return m_keyDown; }

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    bool isCommandButton() const { return m_code >= kFirstCommandCode; }
    void notify(bool pressed);
    // Keyboard handling ahead of the normal dispatch; true when the key is consumed.
    bool preTranslateKeyPress(const QKeyEvent& key);
    bool preTranslateKeyRelease(const QKeyEvent& key);

    std::int32_t m_code = 0;
    WindowEndpoint* m_owner = nullptr;
    bool m_keyDown = false;
};

}  // namespace tqm
