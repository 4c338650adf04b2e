#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include <gtest/gtest.h>
#include <QtGui/QImage>
#include <QtTest/QTest>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>

#include "editor/ui/baud_rate_dlg.h"
#include "editor/ui/com_select_dlg.h"
#include "editor/ui/control_id.h"
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

// Red text pixels inside one entry of a list.
bool showsRed(const QImage& image, const QRect& entry) {
    for (int y = entry.top(); y <= entry.bottom(); ++y) {
        for (int x = entry.left(); x <= entry.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.red() > 200 && pixel.green() < 80 && pixel.blue() < 80) return true;
        }
    }
    return false;
}

// The entry's most frequent colour (its background) against red text: WCAG contrast ratio.
double redContrast(const QImage& image, const QRect& entry) {
    std::map<QRgb, int> counts;
    for (int y = entry.top(); y <= entry.bottom(); ++y) {
        for (int x = entry.left(); x <= entry.right(); ++x) ++counts[image.pixel(x, y)];
    }
    const QRgb background =
        std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
    const auto luminance = [](QColor c) {
        const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double a = luminance(QColor(background)) + 0.05;
    const double b = luminance(QColor(255, 0, 0)) + 0.05;
    return std::max(a, b) / std::min(a, b);
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

    std::string savedFile() const { return test::readFile(m_settings / "CommoFiles" / "CommSetting.csv"); }

    QApplication& m_app = test::guiApp();
    sim::PtyMaster m_device;
    test::ScratchDirectory m_settings;
};

TEST_F(PortSettingDlgTest, BothListsAreAlwaysOpenWithTheValueInUseRedAlsoWhenHighlighted) {
    CComSelectDlg com(0, nullptr, m_settings.path());
    CBaudRateDlg baud(0, nullptr, m_settings.path());
    for (CPortSettingDlg* dialog : {static_cast<CPortSettingDlg*>(&com), static_cast<CPortSettingDlg*>(&baud)}) {
        SCOPED_TRACE(dialog->windowTitle().toStdString());
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
        auto* list = dialog->findChild<QAbstractItemView*>();
        ASSERT_NE(list, nullptr);
        EXPECT_TRUE(list->isVisible()) << "no drop-down to open";
        ASSERT_EQ(list->currentIndex().row(), 2) << "COM3 and 19200 are in use";
        const auto entry = [&](int row) { return list->visualRect(list->model()->index(row, 0)); };
        const auto picture = [&] { return list->viewport()->grab().toImage(); };
        QTest::keyClick(list, Qt::Key_Down);
        EXPECT_TRUE(showsRed(picture(), entry(2)));
        EXPECT_FALSE(showsRed(picture(), entry(3))) << "the highlighted entry is not the one in use";
        QTest::keyClick(list, Qt::Key_Up);
        EXPECT_TRUE(showsRed(picture(), entry(2)));
        EXPECT_GE(redContrast(picture(), entry(2)), 3.0) << "red stays readable on the highlight";
        dialog->reject();
    }
}

TEST_F(PortSettingDlgTest, ComSelectKeepsOpenOnAPortThatFailsAndADoubleClickChoosesAndConfirms) {
    CComSelectDlg dialog(0, nullptr, m_settings.path());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* list = dialog.findChild<QAbstractItemView*>();
    ASSERT_EQ(list->model()->rowCount(), 20);
    const auto text = [&](int row) { return list->model()->index(row, 0).data().toString(); };
    EXPECT_EQ(text(2), QString::fromStdString("COM3  " + m_device.slavePath()));
    EXPECT_EQ(text(4), QString("COM5  %1  (not present)").arg(kMissingDevice));
    EXPECT_EQ(dialog.controller().selectedValue(), 0) << "nothing chosen yet";
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    ASSERT_EQ(dialog.controller().selectedValue(), 5);
    {
        test::ModalAnswerer answers;
        QStringList notice;  // title, text, reason
        answers.then<QMessageBox>([&](QMessageBox& box) {
            notice = {box.windowTitle(), box.text(), box.informativeText()};
            box.accept();
        });
        QTest::mouseClick(dialog.findChild<QPushButton*>(controlName(ControlId::DialogOk)), Qt::LeftButton);
        ASSERT_TRUE(test::waitUntil([&] { return answers.finished(); }));
        ASSERT_EQ(notice.size(), 3);
        EXPECT_EQ(notice[0], "TQM-4700 Parametric Equalizer Control");
        EXPECT_EQ(notice[1], "Failed to open the port.");
        EXPECT_TRUE(notice[2].startsWith(QString("COM5 (%1: no such device").arg(kMissingDevice)))
            << notice[2].toStdString();
    }
    EXPECT_TRUE(dialog.isVisible() && Sio_Port().portNumber() == 3 && savedFile().empty());

    // A double-click on the port in use chooses it and performs OK.
    const QPoint com3 = list->viewport()->mapTo(&dialog, list->visualRect(list->model()->index(2, 0)).center());
    QTest::mouseDClick(dialog.windowHandle(), Qt::LeftButton, {}, com3);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(savedFile(), "3,19200,0\r\n");
}

}  // namespace
}  // namespace tqm
