#pragma once

#include <memory>

#include <gtest/gtest.h>
#include <QtCore/QTimer>
#include <QtTest/QTest>
#include <QtWidgets/QLabel>

#include "editor/ui/control_id.h"
#include "editor/ui/equalizer_dlg.h"
#include "tests/gui/gui_app.h"
#include "tests/support/recording_sink.h"

namespace tqm::test {

// The main window without the splash, its controls found by their ids and driven
// with the mouse as the operator does. open() sends the commands to m_sink.
class MainWindowFixture : public ::testing::Test {
protected:
    void open() {
        create(m_sink);
        start({});
    }
    // The window retracts itself from the window link when it goes, so the old one
    // goes before the new one publishes itself.
    void create(CommandSink& sink) {
        m_window.reset();
        m_window = std::make_unique<CEqualizerDlg>(sink);
    }
    void start(CEqualizerDlg::StartOptions options) {
        options.showSplash = false;
        m_window->initialise(options);
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
        // The first full repaint writes the value texts.
        ASSERT_TRUE(waitUntil([&] { return !text(ControlId::Eq1LevelValue).isEmpty(); }));
    }

    template <typename T = QWidget>
    T* control(ControlId id) const { return &requireControl<T>(*m_window, id); }
    QString text(ControlId id) const { return control<QLabel>(id)->text(); }
    QTimer* timer(TimerId id) const { return m_window->findChild<QTimer*>(QStringLiteral("timer_%1").arg(id)); }
    QPoint centreOf(ControlId id) const {
        QWidget* widget = control(id);
        return widget->mapTo(m_window.get(), widget->rect().center());
    }
    void press(ControlId id) { QTest::mousePress(m_window->windowHandle(), Qt::LeftButton, {}, centreOf(id)); }
    void release(ControlId id) { QTest::mouseRelease(m_window->windowHandle(), Qt::LeftButton, {}, centreOf(id)); }
    void click(ControlId id, int times = 1) {
        for (int i = 0; i < times; ++i) {
            press(id);
            release(id);
        }
    }

    QApplication& m_app = guiApp();  // before any widget
    RecordingSink m_sink;
    std::unique_ptr<CEqualizerDlg> m_window;
};

}  // namespace tqm::test
