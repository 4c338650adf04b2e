#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QtGui/QAction>
#include <QtTest/QTest>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTreeWidget>

#include "editor/ui/baud_rate_dlg.h"
#include "editor/ui/com_select_dlg.h"
#include "editor/ui/control_id.h"
#include "editor/ui/equalizer_dlg.h"
#include "editor/ui/ports_dlg.h"
#include "editor/ui/program_font.h"
#include "editor/ui/version_dlg.h"
#include "platform/settings_folder.h"
#include "serial/port_map.h"
#include "tests/gui/gui_app.h"
#include "tests/support/fake_device_tree.h"
#include "tests/support/recording_sink.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

// Space between a button's text and each of its edges, at the least.
constexpr int kButtonPadding = 6;

class DesktopManners : public ::testing::Test {
protected:
    void SetUp() override {
        useProgramFont();  // as the program does before its first window
        SettingsFolder().choose(m_scratch.path());
        ASSERT_TRUE(test::makeFakeDeviceTree(m_scratch / "machine"));
        m_windows.push_back(std::make_unique<CEqualizerDlg>(m_sink));
        m_windows.push_back(std::make_unique<CComSelectDlg>(0));
        m_windows.push_back(std::make_unique<CBaudRateDlg>(0));
        m_windows.push_back(std::make_unique<CPortsDlg>(nullptr, m_scratch / "machine"));
        m_windows.push_back(std::make_unique<CVersionDlg>());
        for (const auto& window : m_windows) {
            window->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        }
    }
    void TearDown() override {
        SettingsFolder().choose({});
        PortMap().reset();
    }

    QApplication& m_app = test::guiApp();
    test::ScratchDirectory m_scratch;
    test::RecordingSink m_sink;
    std::vector<std::unique_ptr<QWidget>> m_windows;  // every window of the program, shown
};

TEST_F(DesktopManners, EveryControlHasATooltipAndEveryButtonRoomAroundItsText) {
    for (const auto& owned : m_windows) {
        QWidget* window = owned.get();
        SCOPED_TRACE(window->objectName().toStdString());
        for (QWidget* control : window->findChildren<QWidget*>()) {
            if (!control->objectName().startsWith("id_") || !control->isVisibleTo(window)) continue;
            if (qobject_cast<QMenuBar*>(control) != nullptr) continue;  // its menus speak for it
            EXPECT_FALSE(control->toolTip().isEmpty()) << control->objectName().toStdString();
        }
        for (QPushButton* button : window->findChildren<QPushButton*>()) {
            if (!button->isVisibleTo(window) || !button->icon().isNull()) continue;
            const int text = button->fontMetrics().horizontalAdvance(button->text().remove('&'));
            EXPECT_GE(button->width(), text + 2 * kButtonPadding) << button->text().toStdString();
        }
    }
}

TEST_F(DesktopManners, MenusHaveMnemonicsAndMenusAndBoxesTheProgramsFontFamily) {
    QWidget* window = m_windows.front().get();
    for (QMenu* menu : window->findChildren<QMenu*>()) {
        EXPECT_TRUE(menu->title().contains('&')) << menu->title().toStdString();
        EXPECT_EQ(menu->font().family(), kProgramFontFamily);
        for (QAction* action : menu->actions()) {
            EXPECT_TRUE(action->isSeparator() || action->text().contains('&')) << action->text().toStdString();
        }
    }
    QMessageBox box(QMessageBox::Warning, "", "text", QMessageBox::Ok, window);
    EXPECT_EQ(box.findChild<QLabel*>()->font().family(), kProgramFontFamily);
}

TEST_F(DesktopManners, ThePortsDialogBindsAFoundAdapterByItsStableName) {
    auto& dialog = static_cast<CPortsDlg&>(*m_windows[3]);
    auto& devices = requireControl<QTreeWidget>(dialog, ControlId::FoundDevices);
    ASSERT_EQ(devices.topLevelItemCount(), 5);
    devices.setCurrentItem(devices.topLevelItem(0));
    EXPECT_EQ(requireControl<QLineEdit>(dialog, ControlId::BindTarget).text(), test::kFtdiById);
    requireControl<QComboBox>(dialog, ControlId::BindComNumber).setCurrentIndex(4);
    QTest::mouseClick(&requireControl<QPushButton>(dialog, ControlId::BindButton), Qt::LeftButton);
    EXPECT_TRUE(dialog.bind(6, "  /dev/ttyACM0 ")) << "a typed node of an adapter keeps its stable name too";
    EXPECT_FALSE(dialog.bind(7, "/dev/" + QString(5000, 'x')));
    EXPECT_TRUE(requireControl<QLabel>(dialog, ControlId::BindResult).text().startsWith("COM7 was not bound: "));
    const std::string map = test::readFile(m_scratch / "CommoFiles" / "PortMap.csv");  // a new file
    EXPECT_NE(map.find(std::string("\n5,") + test::kFtdiById + "\n6," + test::kAcmById + "\n"), std::string::npos)
        << map;
    EXPECT_EQ(requireControl<QTreeWidget>(dialog, ControlId::ComDevices).topLevelItem(4)->text(1), test::kFtdiById);
}

}  // namespace
}  // namespace tqm
