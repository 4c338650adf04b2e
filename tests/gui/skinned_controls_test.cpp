#include <cstdlib>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <QtGui/QKeyEvent>
#include <QtTest/QTest>
#include <QtWidgets/QDialog>

#include "editor/ui/color_group_box.h"
#include "editor/ui/color_static.h"
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
    // A second Alt with nothing held is not the button's business.
    QTest::keyPress(m_button, Qt::Key_Alt, Qt::AltModifier);
    EXPECT_EQ(events().size(), 2u);
}

TEST_F(StepButtonTest, EnterOnACommandButtonClicksOnceWhileHeldAndOnAFileButtonEveryTime) {
    const std::pair<int, std::size_t> cases[] = {{24, 2}, {26, 4}, {27, 4}};  // APPLI, FILE LOAD, FILE SAVE
    for (const auto& [code, clicks] : cases) {
        m_owner.clear();
        m_button->setCode(code);
        QTest::keyPress(m_button, Qt::Key_Return);
        QTest::keyPress(m_button, Qt::Key_Return);
        QTest::keyRelease(m_button, Qt::Key_Return);
        const std::vector<Event> seen = events();
        ASSERT_EQ(seen.size(), clicks) << code;
        for (std::size_t i = 0; i < seen.size(); ++i) {
            EXPECT_EQ(seen[i], Event(static_cast<std::uintptr_t>(code), i % 2 == 0 ? 1 : 0)) << code;
        }
    }
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
            const int distance = std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                                 std::abs(c.blue() - colour.blue());
            count += distance < tolerance ? 1 : 0;
        }
    }
    return count;
}

TEST_F(ColourControlsTest, ColorStaticAndGroupBoxDrawTheirTextInTheirColour) {
    CColorStatic label;
    label.resize(120, 24);
    label.setText("LEVEL");
    label.setTextColor(QColor(0, 0, 255));
    label.setBackgroundColor(Qt::white);
    const QImage image = label.grab().toImage();
    EXPECT_EQ(image.pixelColor(1, 1), QColor(Qt::white));
    EXPECT_GT(countNear(image, QColor(0, 0, 255)), 10);

    CColorGroupBox box;
    box.resize(200, 100);
    box.setTitle("F-PRMTRC EQ1");
    EXPECT_EQ(countNear(box.grab().toImage(), QColor(255, 0, 0)), 0);
    box.setTextColor(QColor(255, 0, 0));
    EXPECT_GT(countNear(box.grab().toImage(), QColor(255, 0, 0)), 10);
}

}  // namespace
}  // namespace tqm
