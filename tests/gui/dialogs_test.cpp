#include <algorithm>
#include <cmath>
#include <tuple>

#include <QtGui/QAction>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTreeWidget>

#include "editor/ui/baud_rate_dlg.h"
#include "editor/ui/com_select_dlg.h"
#include "editor/ui/ports_dlg.h"
#include "editor/ui/power_watch.h"
#include "editor/ui/program_font.h"
#include "editor/ui/step_button.h"
#include "editor/ui/version_dlg.h"
#include "platform/settings_folder.h"
#include "protocol/trx_state.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "sim/pty_master.h"
#include "tests/gui/gui_app.h"
#include "tests/support/fake_device_tree.h"
#include "tests/support/recording_window.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

constexpr const char* kMissingDevice = "/nonexistent/tqm-no-such-tty";
constexpr int kButtonPadding = 6;  // space between a button's text and each of its edges, at the least

// The dialogs and buttons of the program around a settings folder and a fake machine's
// devices; COM3 (in use, at 19200 baud) is a pseudo-terminal, COM5 a missing device.
class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        useProgramFont();  // as the program does before its first window
        SettingsFolder().choose(m_scratch.path());
        ASSERT_TRUE(test::makeFakeDeviceTree(m_scratch / "machine") && m_device.open()) << m_device.errorText();
        Sio_Port().initialise();
        Trx_StateGuard().initialise();
        PortMap().reset();
        ASSERT_TRUE(PortMap().setOverride(3, m_device.slavePath()) && PortMap().setOverride(5, kMissingDevice));
        ASSERT_TRUE(Sio_Port().setPortNumber(3) && Sio_Port().setBaudRate(19200));
    }
    void TearDown() override {
        SettingsFolder().choose({});
        Sio_Port().initialise();
        PortMap().reset();
    }

    template <typename T>
    T& shown(std::unique_ptr<T> window) {
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        m_windows.push_back(std::move(window));
        return static_cast<T&>(*m_windows.back());
    }
    std::string savedFile() const { return test::readFile(m_scratch / "CommoFiles" / "CommSetting.csv"); }

    QApplication& m_app = test::guiApp();  // before any widget
    test::ScratchDirectory m_scratch;
    sim::PtyMaster m_device;
    test::RecordingSink m_sink;
    std::vector<std::unique_ptr<QWidget>> m_windows;
};

TEST_F(DialogsTest, EveryWindowHasTooltipsRoomyButtonsMnemonicsAndTheProgramsFont) {
    shown(std::make_unique<CEqualizerDlg>(m_sink));
    shown(std::make_unique<CComSelectDlg>(0));
    shown(std::make_unique<CBaudRateDlg>(0));
    shown(std::make_unique<CPortsDlg>(nullptr, m_scratch / "machine"));
    shown(std::make_unique<CVersionDlg>());
    for (const auto& owned : m_windows) {
        QWidget* window = owned.get();
        SCOPED_TRACE(window->objectName().toStdString());
        for (QWidget* control : window->findChildren<QWidget*>()) {
            const bool menuBar = qobject_cast<QMenuBar*>(control) != nullptr;  // its menus speak for it
            if (menuBar || !control->objectName().startsWith("id_") || !control->isVisibleTo(window)) continue;
            EXPECT_FALSE(control->toolTip().isEmpty()) << control->objectName().toStdString();
        }
        for (QPushButton* button : window->findChildren<QPushButton*>()) {
            if (!button->isVisibleTo(window) || !button->icon().isNull()) continue;
            const int text = button->fontMetrics().horizontalAdvance(button->text().remove('&'));
            EXPECT_GE(button->width(), text + 2 * kButtonPadding) << button->text().toStdString();
        }
        for (QMenu* menu : window->findChildren<QMenu*>()) {
            EXPECT_TRUE(menu->title().contains('&') && menu->font().family() == kProgramFontFamily)
                << menu->title().toStdString();
            for (QAction* action : menu->actions()) {
                EXPECT_TRUE(action->isSeparator() || action->text().contains('&')) << action->text().toStdString();
            }
        }
    }
    QMessageBox box(QMessageBox::Warning, "", "text", QMessageBox::Ok, m_windows.front().get());
    EXPECT_EQ(box.findChild<QLabel*>()->font().family(), kProgramFontFamily);
}

TEST_F(DialogsTest, ThePortsDialogBindsAFoundAdapterByItsStableName) {
    PortMap().reset();  // the map as the machine's file makes it
    auto& dialog = shown(std::make_unique<CPortsDlg>(nullptr, m_scratch / "machine"));
    auto& devices = requireControl<QTreeWidget>(dialog, ControlId::FoundDevices);
    ASSERT_EQ(devices.topLevelItemCount(), 5);
    devices.setCurrentItem(devices.topLevelItem(0));
    EXPECT_EQ(requireControl<QLineEdit>(dialog, ControlId::BindTarget).text(), test::kFtdiById);
    requireControl<QComboBox>(dialog, ControlId::BindComNumber).setCurrentIndex(4);
    QTest::mouseClick(&requireControl<QPushButton>(dialog, ControlId::BindButton), Qt::LeftButton);
    EXPECT_TRUE(dialog.bind(6, "  /dev/ttyACM0 ")) << "a typed node of an adapter keeps its stable name too";
    EXPECT_TRUE(!dialog.bind(7, "/dev/" + QString(5000, 'x')) &&
                requireControl<QLabel>(dialog, ControlId::BindResult).text().startsWith("COM7 was not bound: "));
    const std::string map = test::readFile(m_scratch / "CommoFiles" / "PortMap.csv");  // a new file
    EXPECT_NE(map.find(std::string("\n5,") + test::kFtdiById + "\n6," + test::kAcmById + "\n"), std::string::npos)
        << map;
    EXPECT_EQ(requireControl<QTreeWidget>(dialog, ControlId::ComDevices).topLevelItem(4)->text(1), test::kFtdiById);
}

// Whether an entry of a list shows red text, and the WCAG contrast ratio of red on the
// entry's background (at its right end, past the text).
std::pair<bool, double> redOn(const QImage& image, const QRect& entry) {
    bool red = false;
    for (int i = 0; i < entry.width() * entry.height(); ++i) {
        const QColor pixel = image.pixelColor(entry.left() + i % entry.width(), entry.top() + i / entry.width());
        red = red || (pixel.red() > 200 && pixel.green() < 80 && pixel.blue() < 80);
    }
    const auto luminance = [](QColor c) {
        const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF()) + 0.05;
    };
    const QColor background = image.pixelColor(entry.right() - 2, entry.center().y());
    const auto [low, high] = std::minmax({luminance(background), luminance(Qt::red)});  // values, not references
    return {red, high / low};
}

TEST_F(DialogsTest, PortAndBaudListsAreAlwaysOpenWithTheValueInUseRedAlsoWhenHighlighted) {
    for (CPortSettingDlg* dialog : {static_cast<CPortSettingDlg*>(&shown(std::make_unique<CComSelectDlg>(0))),
                                    static_cast<CPortSettingDlg*>(&shown(std::make_unique<CBaudRateDlg>(0)))}) {
        SCOPED_TRACE(dialog->windowTitle().toStdString());
        auto* list = &requireControl<QAbstractItemView>(*dialog, ControlId::PortList);
        EXPECT_TRUE(list->isVisible()) << "no drop-down to open";
        ASSERT_EQ(list->currentIndex().row(), 2) << "COM3 and 19200 are in use";
        const auto entry = [&](int row) { return list->visualRect(list->model()->index(row, 0)); };
        const auto picture = [&] { return list->viewport()->grab().toImage(); };
        QTest::keyClick(list, Qt::Key_Down);
        EXPECT_TRUE(redOn(picture(), entry(2)).first && !redOn(picture(), entry(3)).first)
            << "the highlighted entry is not the one in use";
        QTest::keyClick(list, Qt::Key_Up);
        const auto [red, contrast] = redOn(picture(), entry(2));
        EXPECT_TRUE(red && contrast >= 3.0) << "red stays readable on the highlight: " << contrast;
        dialog->reject();
    }
}

TEST_F(DialogsTest, ComSelectKeepsOpenOnAPortThatFailsWithItsReasonAndADoubleClickChoosesAndConfirms) {
    auto& dialog = shown(std::make_unique<CComSelectDlg>(0, nullptr, m_scratch.path()));
    auto* list = &requireControl<QAbstractItemView>(dialog, ControlId::PortList);
    ASSERT_EQ(list->model()->rowCount(), 20);
    const auto text = [&](int row) { return list->model()->index(row, 0).data().toString(); };
    EXPECT_EQ(text(2), QString::fromStdString("COM3  " + m_device.slavePath()));
    EXPECT_EQ(text(4), QString("COM5  %1  (not present)").arg(kMissingDevice));
    EXPECT_EQ(dialog.controller().selectedValue(), 0) << "nothing chosen yet";
    for (int i = 0; i < 2; ++i) QTest::keyClick(list, Qt::Key_Down);
    ASSERT_EQ(dialog.controller().selectedValue(), 5);
    test::ModalAnswerer answers;  // the notice and its reason
    QTest::mouseClick(&requireControl<QPushButton>(dialog, ControlId::DialogOk), Qt::LeftButton);
    ASSERT_EQ(answers.unscripted().size(), 1u);
    const std::string expected = "Failed to open the port.\nCOM5 (" + std::string(kMissingDevice) + ": no such device";
    EXPECT_EQ(answers.unscripted()[0].substr(0, expected.size()), expected);
    EXPECT_TRUE(dialog.isVisible() && Sio_Port().portNumber() == 3 && savedFile().empty());
    // A double-click on the port in use chooses it and performs OK.
    const QPoint com3 = list->viewport()->mapTo(&dialog, list->visualRect(list->model()->index(2, 0)).center());
    QTest::mouseDClick(dialog.windowHandle(), Qt::LeftButton, {}, com3);
    EXPECT_TRUE(!dialog.isVisible() && dialog.result() == QDialog::Accepted && savedFile() == "3,19200,0\r\n");
}

TEST_F(DialogsTest, SuspendAndResumeCloseTheOpenPort) {
    CPowerWatch watch;
    for (bool suspending : {true, false}) {
        ASSERT_TRUE(Sio_Port().open());
        watch.onPrepareForSleep(suspending);
        EXPECT_FALSE(Sio_Port().isOpen()) << (suspending ? "suspend" : "resume");
    }
}

// Space and Enter hold a step button: one press and one release for all the key's
// auto-repeat; Alt ends an Enter hold too.
TEST_F(DialogsTest, AKeyHeldOnAStepButtonGivesOnePressAndOneRelease) {
    using Event = std::tuple<MessageId, std::uintptr_t, std::intptr_t, bool>;  // code, pressed, sent
    test::RecordingWindow owner;
    auto* button = new CStepButton(&shown(std::make_unique<QDialog>()));
    button->setOwner(&owner);
    button->setCode(10);
    button->show();
    const Qt::Key keys[][2] = {{Qt::Key_Space, Qt::Key_Space}, {Qt::Key_Return, Qt::Key_Return},
                               {Qt::Key_Return, Qt::Key_Alt}};
    for (const auto& [held, ending] : keys) {
        owner.clear();
        QTest::keyPress(button, held);
        for (int i = 0; i < 6; ++i) {  // auto-repeat arrives as release/press pairs marked as repeats
            QKeyEvent event(i % 2 == 0 ? QEvent::KeyRelease : QEvent::KeyPress, held, {}, QString(), true);
            QCoreApplication::sendEvent(button, &event);
        }
        ending == Qt::Key_Alt ? QTest::keyPress(button, ending, Qt::AltModifier) : QTest::keyRelease(button, ending);
        std::vector<Event> events;
        for (const auto& e : owner.entries()) {
            events.emplace_back(e.message.id, e.message.wParam, e.message.lParam, e.sent);
        }
        EXPECT_EQ(events, (std::vector<Event>{{UWM_BUTTON_EVENT, 10, 1, true}, {UWM_BUTTON_EVENT, 10, 0, true}}))
            << held << " " << ending;
        EXPECT_FALSE(button->keyHeld());
    }
}

}  // namespace
}  // namespace tqm
