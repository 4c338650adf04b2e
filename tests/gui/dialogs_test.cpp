#include <gtest/gtest.h>
#include <QtCore/QElapsedTimer>
#include <QtCore/QTimer>
#include <QtGui/QAction>

#include "editor/string_table.h"
#include "editor/ui/splash_dlg.h"
#include "editor/ui/version_dlg.h"
#include "tests/gui/main_window_fixture.h"

namespace tqm {
namespace {

class DialogsTest : public test::MainWindowFixture {};

TEST_F(DialogsTest, SplashCannotBeClosedByTheOperatorAndEndsWithTheSplashTimer) {
    create(m_sink);
    bool openAfterEscAndClose = false;
    QSize splashSize;
    QTimer::singleShot(300, [&] {
        auto* splash = qobject_cast<CSplashDlg*>(QApplication::activeModalWidget());
        if (splash == nullptr) return;
        splashSize = splash->size();
        QTest::keyClick(splash, Qt::Key_Escape);
        splash->close();
        QCoreApplication::processEvents();
        openAfterEscAndClose = splash->isVisible();
    });
    QElapsedTimer clock;
    clock.start();
    m_window->initialise(CEqualizerDlg::StartOptions());
    EXPECT_TRUE(openAfterEscAndClose);
    EXPECT_EQ(splashSize, QSize(CSplashDlg::kWidth, CSplashDlg::kHeight));
    EXPECT_GE(clock.elapsed(), 2900);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(DialogsTest, HelpVersionShowsItsStringsOverTheWindowAndClosesWithEsc) {
    open();
    QString title;
    QString version;
    QString notice;
    bool closedByEsc = false;
    QTimer::singleShot(100, [&] {
        auto* dialog = qobject_cast<CVersionDlg*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        title = dialog->windowTitle();
        version = dialog->findChild<QLabel*>("id_1048")->text();
        notice = dialog->findChild<QLabel*>("id_1049")->text();
        QTest::keyClick(dialog, Qt::Key_Escape);
        closedByEsc = !dialog->isVisible();
        if (!closedByEsc) dialog->reject();
    });
    control<QAction>(32785)->trigger();
    EXPECT_EQ(title, "Version information of TQM for ZR-4700");
    EXPECT_EQ(version, "TQM-4700 Parametric Equalizer Control Version  1.22");
    EXPECT_EQ(notice.toStdString(), loadString(IDS_VERSION_NOTICE));
    EXPECT_FALSE(notice.isEmpty());
    EXPECT_TRUE(closedByEsc);
    EXPECT_TRUE(m_window->isVisible());
}

}  // namespace
}  // namespace tqm
