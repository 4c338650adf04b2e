#include <string>

#include <gtest/gtest.h>
#include <QtGui/QImage>
#include <QtTest/QTest>
#include <QtWidgets/QPushButton>

#include "editor/ui/com_select_dlg.h"
#include "editor/ui/mark_combo_box.h"
#include "protocol/trx_state.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "sim/pty_master.h"
#include "tests/gui/gui_app.h"
#include "tests/gui/modal_answerer.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

constexpr const char* kMissingDevice = "/nonexistent/tqm-no-such-tty";

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
        PortMap().reset();
        ASSERT_TRUE(PortMap().setOverride(3, m_device.slavePath()) && PortMap().setOverride(5, kMissingDevice));
        ASSERT_TRUE(Sio_Port().setPortNumber(3) && Sio_Port().setBaudRate(19200));
    }
    void TearDown() override {
        Sio_Port().initialise();
        PortMap().reset();
    }

    static void click(CPortSettingDlg& dialog, const char* button) {
        QTest::mouseClick(dialog.findChild<QPushButton*>(button), Qt::LeftButton);
    }
    std::string savedFile() const { return test::readFile(m_settings / "CommoFiles" / "CommSetting.csv"); }

    QApplication& m_app = test::guiApp();
    sim::PtyMaster m_device;
    test::ScratchDirectory m_settings;
};

TEST_F(PortSettingDlgTest, ComSelectMarksThePortInUseRedAndKeepsOpenOnAPortThatFails) {
    CComSelectDlg dialog(0, nullptr, m_settings.path());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    CMarkComboBox* list = dialog.list();
    ASSERT_EQ(list->count(), 20);
    EXPECT_EQ(list->itemText(2), QString::fromStdString("COM3  " + m_device.slavePath()));
    EXPECT_EQ(list->itemText(4), QString("COM5  %1  (not present)").arg(kMissingDevice));
    EXPECT_TRUE(list->markedIndex() == 2 && list->currentIndex() == 2);
    EXPECT_TRUE(showsRed(list));

    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_FALSE(showsRed(list)) << "the chosen entry is not the marked one";
    QTest::keyClick(list, Qt::Key_Down);
    ASSERT_EQ(dialog.controller().selectedValue(), 5);
    {
        test::ModalAnswerer answers;
        click(dialog, "id_1");
        ASSERT_TRUE(test::waitUntil([&] { return !answers.unscripted().empty(); }));
        EXPECT_EQ(answers.unscripted().front(), "Failed to open the port.");
    }
    EXPECT_TRUE(dialog.isVisible() && Sio_Port().portNumber() == 3 && savedFile().empty());

    // Back to the port in use: OK now closes and rewrites the file.
    QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Up);
    click(dialog, "id_1");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(savedFile(), "3,19200,0\r\n");
}

}  // namespace
}  // namespace tqm
