#include <memory>

#include <gtest/gtest.h>
#include <QtCore/QElapsedTimer>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtTest/QTest>
#include <QtWidgets/QLabel>

#include "editor/string_table.h"
#include "editor/ui/equalizer_dlg.h"
#include "editor/ui/splash_dlg.h"
#include "editor/ui/version_dlg.h"
#include "tests/gui/gui_app.h"
#include "tests/support/recording_sink.h"

namespace tqm {
namespace {

class DialogsTest : public ::testing::Test {
protected:
    QApplication& m_app = test::guiApp();
    test::RecordingSink m_sink;
};

TEST_F(DialogsTest, SplashCannotBeClosedByTheOperatorAndEndsWithTheSplashTimer) {
    CEqualizerDlg window(m_sink);
    QTimer* splashTimer = window.findChild<QTimer*>(QStringLiteral("timer_%1").arg(TIMER_SPLASH));
    ASSERT_NE(splashTimer, nullptr);
    EXPECT_EQ(splashTimer->interval(), 3000);

    bool sawSplash = false;
    bool openAfterEsc = false;
    bool openAfterClose = false;
    QSize splashSize;
    QTimer::singleShot(300, [&] {
        auto* splash = qobject_cast<CSplashDlg*>(QApplication::activeModalWidget());
        if (splash == nullptr) return;
        sawSplash = true;
        splashSize = splash->size();
        QTest::keyClick(splash, Qt::Key_Escape);
        QCoreApplication::processEvents();
        openAfterEsc = splash->isVisible();
        splash->close();
        QCoreApplication::processEvents();
        openAfterClose = splash->isVisible();
    });

    QElapsedTimer clock;
    clock.start();
    window.initialise(CEqualizerDlg::StartOptions());
    EXPECT_TRUE(sawSplash);
    EXPECT_TRUE(openAfterEsc);
    EXPECT_TRUE(openAfterClose);
    EXPECT_EQ(splashSize, QSize(CSplashDlg::kWidth, CSplashDlg::kHeight));
    EXPECT_GE(clock.elapsed(), 2900);
    EXPECT_FALSE(splashTimer->isActive());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(DialogsTest, SplashShowsTheLogoWithTheGreenKeyTransparent) {
    CSplashDlg splash;
    const QImage image = splash.grab().toImage();
    const QColor background = splash.palette().color(QPalette::Window);
    // The logo's green margin lets the dialog's background through; its panel does not.
    EXPECT_EQ(image.pixelColor(2, 2), background);
    EXPECT_NE(image.pixelColor(CSplashDlg::kWidth / 2, CSplashDlg::kHeight / 2), background);
    int green = 0;
    for (int y = 0; y < image.height(); y += 3) {
        for (int x = 0; x < image.width(); x += 3) {
            if (image.pixel(x, y) == 0xFF00FF00u) ++green;
        }
    }
    EXPECT_EQ(green, 0);
}

TEST_F(DialogsTest, VersionDialogShowsItsStringsAndClosesWithEsc) {
    CVersionDlg version;
    EXPECT_EQ(version.windowTitle(), "Version information of TQM for ZR-4700");
    EXPECT_EQ(version.findChild<QLabel*>("id_1048")->text(),
              "TQM-4700 Parametric Equalizer Control Version  1.22");
    EXPECT_EQ(version.findChild<QLabel*>("id_1049")->text().toStdString(), loadString(IDS_VERSION_NOTICE));
    EXPECT_FALSE(loadString(IDS_VERSION_NOTICE).empty());
    version.show();
    QTest::keyClick(&version, Qt::Key_Escape);
    EXPECT_FALSE(version.isVisible());
}

TEST_F(DialogsTest, HelpVersionRunsTheVersionDialogOverTheWindow) {
    CEqualizerDlg window(m_sink);
    CEqualizerDlg::StartOptions options;
    options.showSplash = false;
    window.initialise(options);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QString shown;
    QTimer::singleShot(100, [&] {
        auto* version = qobject_cast<CVersionDlg*>(QApplication::activeModalWidget());
        if (version == nullptr) return;
        shown = version->findChild<QLabel*>("id_1048")->text();
        QTest::mouseClick(version->findChild<QWidget*>("id_1"), Qt::LeftButton);
    });
    window.findChild<QAction*>("id_32785")->trigger();
    EXPECT_EQ(shown, "TQM-4700 Parametric Equalizer Control Version  1.22");
    EXPECT_TRUE(window.isVisible());
}

TEST(StringTableTest, TextsByIdAndNoneForUnusedIds) {
    EXPECT_EQ(loadString(104), "The input range is incorrect.");
    EXPECT_EQ(loadString(106), "Failed to open the port.\nPlease confirm the port connection.");
    EXPECT_EQ(loadString(110), "Connecting the COM port now.");
    EXPECT_EQ(loadString(111), "Failed to connect the COM port.");
    EXPECT_EQ(loadString(115), "Failed to open the port.");
    for (int unused : {103, 105, 107, 109, 112, 117}) EXPECT_TRUE(loadString(unused).empty()) << unused;
}

}  // namespace
}  // namespace tqm
