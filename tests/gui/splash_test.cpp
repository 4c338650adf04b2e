#include <gtest/gtest.h>
#include <QtCore/QElapsedTimer>
#include <QtCore/QTimer>

#include "editor/ui/splash_dlg.h"
#include "tests/gui/main_window_fixture.h"

namespace tqm {
namespace {

class SplashTest : public test::MainWindowFixture {};

TEST_F(SplashTest, SplashCannotBeClosedByTheOperatorAndEndsWithTheSplashTimer) {
    create(m_sink);
    bool openAfterEscAndClose = false;
    QTimer::singleShot(300, [&] {
        auto* splash = qobject_cast<CSplashDlg*>(QApplication::activeModalWidget());
        if (splash == nullptr) return;
        QTest::keyClick(splash, Qt::Key_Escape);
        splash->close();
        QCoreApplication::processEvents();
        openAfterEscAndClose = splash->isVisible() && splash->size() == QSize(CSplashDlg::kWidth, CSplashDlg::kHeight);
    });
    QElapsedTimer clock;
    clock.start();
    m_window->initialise(CEqualizerDlg::StartOptions());
    EXPECT_TRUE(openAfterEscAndClose);
    EXPECT_GE(clock.elapsed(), 2900);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace tqm
