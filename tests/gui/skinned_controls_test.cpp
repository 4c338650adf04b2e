#include <vector>

#include <gtest/gtest.h>
#include <QtGui/QKeyEvent>
#include <QtTest/QTest>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QDialog>

#include "editor/ui/color_group_box.h"
#include "editor/ui/color_static.h"
#include "editor/ui/mark_combo_box.h"
#include "editor/ui/step_button.h"
#include "tests/gui/gui_app.h"
#include "tests/support/recording_window.h"

namespace tqm {
namespace {

using Event = std::pair<std::uintptr_t, std::intptr_t>;

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
            EXPECT_EQ(entry.message.id, UWM_BUTTON_EVENT);
            EXPECT_TRUE(entry.sent);
            result.emplace_back(entry.message.wParam, entry.message.lParam);
        }
        return result;
    }

    void sendKey(QEvent::Type type, int key, bool autoRepeat, Qt::KeyboardModifiers modifiers = {}) {
        QKeyEvent event(type, key, modifiers, QString(), autoRepeat);
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
        sendKey(QEvent::KeyRelease, Qt::Key_Space, true);
        sendKey(QEvent::KeyPress, Qt::Key_Space, true);
    }
    EXPECT_TRUE(m_button->keyHeld());
    QTest::keyRelease(m_button, Qt::Key_Space);
    EXPECT_EQ(events(), (std::vector<Event>{{10, 1}, {10, 0}}));
    EXPECT_FALSE(m_button->keyHeld());
}

TEST_F(StepButtonTest, EnterOnStepButtonPressesUntilReleaseAndRepeatsAreNotPresses) {
    m_button->setCode(5);
    QTest::keyPress(m_button, Qt::Key_Return);
    sendKey(QEvent::KeyPress, Qt::Key_Return, true);
    sendKey(QEvent::KeyPress, Qt::Key_Return, true);
    EXPECT_EQ(events(), (std::vector<Event>{{5, 1}}));
    QTest::keyRelease(m_button, Qt::Key_Return);
    EXPECT_EQ(events(), (std::vector<Event>{{5, 1}, {5, 0}}));
    EXPECT_TRUE(m_dialog.isVisible());
}

TEST_F(StepButtonTest, AltWhileEnterHoldsAStepButtonReleasesIt) {
    m_button->setCode(11);
    QTest::keyPress(m_button, Qt::Key_Enter);
    ASSERT_TRUE(m_button->keyHeld());
    QTest::keyPress(m_button, Qt::Key_Alt, Qt::AltModifier);
    EXPECT_EQ(events(), (std::vector<Event>{{11, 1}, {11, 0}}));
    EXPECT_FALSE(m_button->keyHeld());
    // A second Alt with nothing held is not the button's business.
    m_owner.clear();
    QTest::keyPress(m_button, Qt::Key_Alt, Qt::AltModifier);
    EXPECT_TRUE(events().empty());
}

TEST_F(StepButtonTest, EnterOnCommandButtonIsOneFullClick) {
    m_button->setCode(24);  // APPLI
    QTest::keyPress(m_button, Qt::Key_Return);
    EXPECT_EQ(events(), (std::vector<Event>{{24, 1}, {24, 0}}));
    EXPECT_TRUE(m_button->keyHeld());
    // Held: further Enter presses click nothing more, and the release sends nothing.
    QTest::keyPress(m_button, Qt::Key_Return);
    QTest::keyRelease(m_button, Qt::Key_Return);
    EXPECT_EQ(events().size(), 2u);
    EXPECT_FALSE(m_button->keyHeld());
}

TEST_F(StepButtonTest, EnterOnFileButtonsClicksEveryTime) {
    for (int code : {26, 27}) {
        m_owner.clear();
        m_button->setCode(code);
        QTest::keyPress(m_button, Qt::Key_Return);
        EXPECT_FALSE(m_button->keyHeld());
        QTest::keyPress(m_button, Qt::Key_Return);
        const auto c = static_cast<std::uintptr_t>(code);
        EXPECT_EQ(events(), (std::vector<Event>{{c, 1}, {c, 0}, {c, 1}, {c, 0}}));
    }
}

TEST_F(StepButtonTest, PressReleasedOutsideTheButtonStillReleases) {
    m_button->setCode(10);
    QWindow* window = m_dialog.windowHandle();
    const QPoint inside = m_button->geometry().center();
    const QPoint outside(250, 180);
    ASSERT_FALSE(m_button->geometry().contains(outside));
    QTest::mousePress(window, Qt::LeftButton, {}, inside);
    QTest::mouseMove(window, outside);
    QTest::mouseRelease(window, Qt::LeftButton, {}, outside);
    EXPECT_EQ(events(), (std::vector<Event>{{10, 1}, {10, 0}}));
}

TEST_F(StepButtonTest, GainingFocusForgetsAKeyPressAndNoOwnerSendsNothing) {
    m_button->setCode(12);
    auto* other = new CStepButton(&m_dialog);
    other->setGeometry(100, 20, 60, 40);
    other->show();
    QTest::keyPress(m_button, Qt::Key_Return);
    ASSERT_TRUE(m_button->keyHeld());
    QFocusEvent focusOut(QEvent::FocusOut);
    QFocusEvent focusIn(QEvent::FocusIn);
    QCoreApplication::sendEvent(m_button, &focusOut);
    QCoreApplication::sendEvent(m_button, &focusIn);
    EXPECT_FALSE(m_button->keyHeld());
    // Without an owner nothing is sent and nothing breaks.
    QTest::mouseClick(other, Qt::LeftButton);
    EXPECT_EQ(events(), (std::vector<Event>{{12, 1}}));
}

class ColourControlsTest : public ::testing::Test {
protected:
    void SetUp() override { test::guiApp(); }
};

// Counts the pixels of an image that are close to a colour.
int countNear(const QImage& image, QColor colour, int tolerance = 60) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                    std::abs(c.blue() - colour.blue()) <
                tolerance) {
                ++count;
            }
        }
    }
    return count;
}

TEST_F(ColourControlsTest, ColorStaticDrawsItsTextAndBackgroundColours) {
    CColorStatic label;
    label.resize(120, 24);
    label.setText("LEVEL");
    label.setTextColor(QColor(0, 0, 255));
    label.setBackgroundColor(Qt::white);
    const QImage image = label.grab().toImage();
    EXPECT_EQ(image.pixelColor(1, 1), QColor(Qt::white));
    EXPECT_GT(countNear(image, QColor(0, 0, 255)), 10);
    EXPECT_EQ(label.textColor(), QColor(0, 0, 255));
}

TEST_F(ColourControlsTest, ColorGroupBoxDrawsItsCaptionInItsColour) {
    CColorGroupBox box;
    box.resize(200, 100);
    box.setTitle("F-PRMTRC EQ1");
    EXPECT_EQ(countNear(box.grab().toImage(), QColor(255, 0, 0)), 0);
    box.setTextColor(QColor(255, 0, 0));
    EXPECT_GT(countNear(box.grab().toImage(), QColor(255, 0, 0)), 10);
}

TEST_F(ColourControlsTest, MarkedEntryIsRedEvenWhenAnotherIsHighlighted) {
    QDialog dialog;
    dialog.resize(300, 300);
    auto* combo = new CMarkComboBox(&dialog);
    combo->setGeometry(10, 10, 200, 24);
    combo->addItems({"COM1", "COM2", "COM3", "COM4"});
    combo->setMarkedIndex(2);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    ASSERT_TRUE(test::waitUntil([&] { return view->isVisible(); }));
    view->setCurrentIndex(combo->model()->index(1, 0));
    QTest::qWait(20);

    const QImage list = view->viewport()->grab().toImage();
    const auto rowImage = [&](int row) {
        const QRect rect = view->visualRect(combo->model()->index(row, 0));
        EXPECT_EQ(rect.height(), CMarkComboBox::kItemHeight);
        return list.copy(rect);
    };
    const QColor red(255, 0, 0);
    EXPECT_GT(countNear(rowImage(2), red), 5);   // marked, not highlighted
    EXPECT_EQ(countNear(rowImage(1), red), 0);   // highlighted, not marked
    EXPECT_EQ(countNear(rowImage(0), red), 0);
    const QColor highlight = view->palette().color(QPalette::Highlight);
    EXPECT_EQ(rowImage(1).pixelColor(3, 7), highlight);

    // Highlighting the marked entry keeps it red.
    view->setCurrentIndex(combo->model()->index(2, 0));
    QTest::qWait(20);
    const QImage again = view->viewport()->grab().toImage();
    EXPECT_GT(countNear(again.copy(view->visualRect(combo->model()->index(2, 0))), red), 5);
    combo->hidePopup();
}

}  // namespace
}  // namespace tqm
