#include <atomic>
#include <string>

#include <gtest/gtest.h>
#include <QtCore/QTimer>
#include <QtGui/QImage>
#include <QtTest/QTest>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>

#include "editor/ui/baud_rate_dlg.h"
#include "editor/ui/com_select_dlg.h"
#include "editor/ui/mark_combo_box.h"
#include "platform/messages.h"
#include "protocol/trx_state.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "sim/pty_master.h"
#include "tests/gui/gui_app.h"
#include "tests/support/command_thread_recorder.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

using test::FiledCommandRecorder;
using test::readFile;
using test::ScratchDirectory;

constexpr const char* kMissingDevice = "/nonexistent/tqm-no-such-tty";

// Answers the first message box that appears, remembering its text.
class MessageBoxAnswerer final {
public:
    MessageBoxAnswerer() {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { answer(); });
        m_timer.start();
    }
    const QString& text() const { return m_text; }
    bool answered() const { return m_answered; }

private:
    void answer() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box == nullptr || !box->isVisible()) continue;
            m_text = box->text();
            m_answered = true;
            m_timer.stop();
            box->button(QMessageBox::Ok)->click();
            return;
        }
    }

    QTimer m_timer;
    QString m_text;
    bool m_answered = false;
};

bool showsRed(QWidget* widget) {
    const QImage image = widget->grab().toImage();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.red() > 200 && pixel.green() < 80 && pixel.blue() < 80) return true;
        }
    }
    return false;
}

class PortSettingDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_device.open()) << m_device.errorText();
        Sio_Port().initialise();
        Trx_StateGuard().initialise();
        Trx_ShadowGuard().resetForTest();
        PortMap map;
        map.reset();
        map.setOverride(3, m_device.slavePath());
        map.setOverride(5, kMissingDevice);
        Sio_Port port;
        ASSERT_TRUE(port.setPortNumber(3));
        ASSERT_TRUE(port.setBaudRate(4800));
    }
    void TearDown() override {
        Sio_Port().initialise();
        PortMap().reset();
        Trx_StateGuard().initialise();
    }

    static void show(CPortSettingDlg& dialog) {
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }
    // The operator moves the list's choice down by steps, as with the arrow key.
    static void chooseDown(CPortSettingDlg& dialog, int steps) {
        for (int i = 0; i < steps; ++i) QTest::keyClick(dialog.list(), Qt::Key_Down);
    }
    static void click(CPortSettingDlg& dialog, const char* button) {
        auto* target = dialog.findChild<QPushButton*>(button);
        ASSERT_NE(target, nullptr);
        QTest::mouseClick(target, Qt::LeftButton);
    }
    std::string savedFile() const { return readFile(m_settings.path() / "CommoFiles" / "CommSetting.csv"); }

    QApplication& m_app = test::guiApp();
    sim::PtyMaster m_device;
    ScratchDirectory m_settings;
};

TEST_F(PortSettingDlgTest, ComSelectListsEveryPortWithItsPathAndShowsThePortInUseInRed) {
    CComSelectDlg dialog(0, nullptr, m_settings.path());
    show(dialog);
    CMarkComboBox* list = dialog.list();
    EXPECT_EQ(dialog.windowTitle(), "COM Select");
    ASSERT_EQ(list->count(), 20);
    EXPECT_EQ(list->itemText(2), QString::fromStdString("COM3  " + m_device.slavePath()));
    EXPECT_EQ(list->itemText(4), QString("COM5  %1  (not present)").arg(kMissingDevice));
    EXPECT_EQ(list->markedIndex(), 2);
    EXPECT_EQ(list->currentIndex(), 2);
    EXPECT_TRUE(showsRed(list));

    chooseDown(dialog, 1);
    EXPECT_EQ(dialog.controller().selectedValue(), 4);
    EXPECT_EQ(list->markedIndex(), 2);
    EXPECT_FALSE(showsRed(list));
}

TEST_F(PortSettingDlgTest, BaudRateMarksTheSpeedInUseAndCancelChangesNothing) {
    Sio_Port().setBaudRate(19200);
    CBaudRateDlg dialog(1, nullptr, m_settings.path());
    show(dialog);
    EXPECT_EQ(dialog.windowTitle(), "Baud rate");
    ASSERT_EQ(dialog.list()->count(), 4);
    EXPECT_EQ(dialog.list()->markedIndex(), 2);
    EXPECT_TRUE(showsRed(dialog.list()));

    chooseDown(dialog, 1);
    EXPECT_EQ(dialog.controller().selectedValue(), 38400);
    click(dialog, "id_2");
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(Sio_Port().baudRate(), 19200);
    EXPECT_EQ(savedFile(), "");
}

TEST_F(PortSettingDlgTest, APortThatCannotBeOpenedIsReportedAndTheDialogStaysOpen) {
    CComSelectDlg dialog(0, nullptr, m_settings.path());
    show(dialog);
    chooseDown(dialog, 2);
    ASSERT_EQ(dialog.controller().selectedValue(), 5);

    MessageBoxAnswerer answerer;
    click(dialog, "id_1");
    ASSERT_TRUE(test::waitUntil([&] { return answerer.answered(); }));
    EXPECT_EQ(answerer.text(), "Failed to open the port.");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(Sio_Port().portNumber(), 3);
    EXPECT_EQ(savedFile(), "");

    // The operator goes back to the port in use: OK now closes and rewrites the file.
    QTest::keyClick(dialog.list(), Qt::Key_Up);
    QTest::keyClick(dialog.list(), Qt::Key_Up);
    ASSERT_EQ(dialog.controller().selectedValue(), 3);
    click(dialog, "id_1");
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(savedFile(), "3,4800,0\r\n");
}

TEST_F(PortSettingDlgTest, ANewBaudRateWhileConnectedSwitchesTheLinkOffBeforeThePortCloses) {
    ASSERT_TRUE(Sio_Port().open());
    Trx_StateGuard().set(StateField::AutoInfo, 1);
    std::atomic<bool> openAtToggle{false};
    // Stands in for the command thread and the transceiver's "AI0" answer.
    FiledCommandRecorder commands([&](const Message& message) {
        if (message.id != UWM_CMD_LINK_TOGGLE) return;
        openAtToggle.store(Sio_Port().isOpen());
        Trx_StateGuard().set(StateField::AutoInfo, 0);
    });

    CBaudRateDlg dialog(2, nullptr, m_settings.path());
    show(dialog);
    chooseDown(dialog, 1);
    ASSERT_EQ(dialog.controller().selectedValue(), 9600);
    click(dialog, "id_1");

    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(commands->count(UWM_CMD_LINK_TOGGLE), 1u);
    EXPECT_TRUE(openAtToggle.load());
    EXPECT_FALSE(Sio_Port().isOpen());
    EXPECT_EQ(Sio_Port().baudRate(), 9600);
    EXPECT_EQ(savedFile(), "3,9600,2\r\n");
}

}  // namespace
}  // namespace tqm
