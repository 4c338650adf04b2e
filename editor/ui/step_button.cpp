#include "editor/ui/step_button.h"

#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>

#include "platform/messages.h"

namespace tqm {
namespace {

bool isEnterKey(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

// Keys that the system treats as menu keys: Alt itself, F10, or any key with Alt held.
bool isSystemKey(const QKeyEvent& key) {
    return key.key() == Qt::Key_Alt || key.key() == Qt::Key_AltGr || key.key() == Qt::Key_F10 ||
           (key.modifiers() & Qt::AltModifier) != 0;
}

}  // namespace

CStepButton::CStepButton(QWidget* parent) : QPushButton(parent) {
    // Enter is handled here, never by the dialog's default-button logic.
    setAutoDefault(false);
}

void CStepButton::notify(bool pressed) {
    if (m_owner == nullptr) return;
    m_owner->handleNow(Message{UWM_BUTTON_EVENT, static_cast<std::uintptr_t>(m_code), pressed ? 1 : 0});
}

bool CStepButton::event(QEvent* event) {
    if (event->type() == QEvent::KeyPress && preTranslateKeyPress(*static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    if (event->type() == QEvent::KeyRelease && preTranslateKeyRelease(*static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QPushButton::event(event);
}

bool CStepButton::preTranslateKeyPress(const QKeyEvent& key) {
    if (isEnterKey(key.key())) {
        if (isCommandButton()) {
            if (!m_keyDown) {
                m_keyDown = true;
                notify(true);
                notify(false);
                if (m_code == kFileLoadCode || m_code == kFileSaveCode) m_keyDown = false;
            }
            return true;
        }
        if (m_keyDown) return false;  // the key's auto-repeat goes on to the normal handling
        m_keyDown = true;
        notify(true);
        return true;
    }
    if (m_keyDown && isSystemKey(key)) {
        m_keyDown = false;
        if (!isCommandButton()) notify(false);
        return true;
    }
    return false;
}

bool CStepButton::preTranslateKeyRelease(const QKeyEvent& key) {
    // An auto-repeated key reports release/press pairs; only the real release counts.
    if (!isEnterKey(key.key()) || key.isAutoRepeat()) return false;
    m_keyDown = false;
    if (!isCommandButton()) notify(false);
    return true;
}

void CStepButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) notify(true);
    // The default handling grabs the mouse, so the release comes here even outside.
    QPushButton::mousePressEvent(event);
}

void CStepButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) notify(false);
    QPushButton::mouseReleaseEvent(event);
}

void CStepButton::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !m_keyDown) {
        m_keyDown = true;
        notify(true);
    }
    QPushButton::keyPressEvent(event);
}

void CStepButton::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        m_keyDown = false;
        notify(false);
    }
    QPushButton::keyReleaseEvent(event);
}

void CStepButton::focusInEvent(QFocusEvent* event) {
    QPushButton::focusInEvent(event);
    m_keyDown = false;
}

}  // namespace tqm
