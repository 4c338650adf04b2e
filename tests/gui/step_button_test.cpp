#include <vector>

#include <gtest/gtest.h>
#include <QtGui/QKeyEvent>
#include <QtTest/QTest>
#include <QtWidgets/QDialog>

#include "editor/ui/step_button.h"
#include "tests/gui/gui_app.h"
#include "tests/support/recording_window.h"

namespace tqm {
namespace {

using Event = std::pair<std::uintptr_t, std::intptr_t>;  // code, pressed

class StepButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dialog.resize(300, 200);
        m_button = new CStepButton(&m_dialog);
        m_button->setGeometry(20, 20, 60, 40);
        m_button->setOwner(&m_owner);
        m_dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_dialog));
    }

    std::vector<Event> events() const {
        std::vector<Event> result;
        for (const auto& entry : m_owner.entries()) {
            EXPECT_TRUE(entry.message.id == UWM_BUTTON_EVENT && entry.sent);
            result.emplace_back(entry.message.wParam, entry.message.lParam);
        }
        return result;
    }

    void sendRepeat(QEvent::Type type, int key) {
        QKeyEvent event(type, key, {}, QString(), true);
        QCoreApplication::sendEvent(m_button, &event);
    }

    QApplication& m_app = test::guiApp();  // before any widget
    test::RecordingWindow m_owner;
    QDialog m_dialog;
    CStepButton* m_button = nullptr;
};

TEST_F(StepButtonTest, SpaceHeldGivesOnePressAndOneRelease) {
    m_button->setCode(10);
    QTest::keyPress(m_button, Qt::Key_Space);
    for (int i = 0; i < 5; ++i) {
        // Auto-repeat arrives as release/press pairs marked as repeats.
        sendRepeat(QEvent::KeyRelease, Qt::Key_Space);
        sendRepeat(QEvent::KeyPress, Qt::Key_Space);
    }
    QTest::keyRelease(m_button, Qt::Key_Space);
    EXPECT_EQ(events(), (std::vector<Event>{{10, 1}, {10, 0}}));
}

TEST_F(StepButtonTest, EnterHoldsAStepButtonUntilReleaseOrAlt) {
    for (const int ending : {Qt::Key_Return, Qt::Key_Alt}) {
        m_owner.clear();
        m_button->setCode(11);
        QTest::keyPress(m_button, Qt::Key_Return);
        sendRepeat(QEvent::KeyPress, Qt::Key_Return);  // repeats are not presses
        EXPECT_EQ(events(), (std::vector<Event>{{11, 1}}));
        if (ending == Qt::Key_Alt) {
            QTest::keyPress(m_button, Qt::Key_Alt, Qt::AltModifier);
        } else {
            QTest::keyRelease(m_button, Qt::Key_Return);
        }
        EXPECT_EQ(events(), (std::vector<Event>{{11, 1}, {11, 0}}));
        EXPECT_FALSE(m_button->keyHeld());
    }
}

}  // namespace
}  // namespace tqm
