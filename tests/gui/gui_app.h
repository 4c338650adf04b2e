#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <QtCore/QElapsedTimer>
#include <QtCore/QTimer>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMessageBox>

#include "editor/ui/control_id.h"
#include "editor/ui/equalizer_dlg.h"
#include "tests/support/recording_sink.h"

namespace tqm::test {

// Owns the one application object of the GUI tests and deletes it after the last
// test, before the toolkit's own globals go away at exit.
class GuiAppEnvironment final : public ::testing::Environment {
public:
    static QApplication& app() {
        if (s_app == nullptr) {
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
            s_app = new QApplication(s_argc, s_argv);
        }
        return *s_app;
    }
    void TearDown() override { delete std::exchange(s_app, nullptr); }

private:
    static inline int s_argc = 1;
    static inline char s_name[] = "gui_tests";
    static inline char* s_argv[] = {s_name, nullptr};
    static inline QApplication* s_app = nullptr;
};

inline ::testing::Environment* const s_guiEnvironment = ::testing::AddGlobalTestEnvironment(new GuiAppEnvironment);

// The application object, on the offscreen platform unless another is chosen.
inline QApplication& guiApp() { return GuiAppEnvironment::app(); }

// Runs the event loop until the condition holds or the deadline passes.
inline bool processEventsUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds deadline = std::chrono::milliseconds(5000)) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > deadline.count()) return false;
        QTest::qWait(5);
    }
    return true;
}

// The visible top-level window of that type, if any.
template <typename T>
T* visibleTopLevel() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<T*>(widget); found != nullptr && found->isVisible()) return found;
    }
    return nullptr;
}

// Answers the modal windows that open while it lives, from inside their own event
// loops: first the scripted steps, in order; then every message box or file dialog
// beyond the script (or after a step has waited 10 s) is recorded and closed, so a
// test never hangs in a window nobody answers. Only one may live at a time.
class ModalAnswerer final {
public:
    ModalAnswerer() {
        m_clock.start();
        tick();
    }

    // Answers the next window of type T, once it shows, with `answer`.
    template <typename T>
    void then(std::function<void(T&)> answer) {
        m_steps.push_back({[] { return static_cast<QWidget*>(visibleTopLevel<T>()); },
                           [answer](QWidget& window) { answer(static_cast<T&>(window)); }});
    }

    bool finished() const { return m_next == m_steps.size(); }
    // The texts (and details) of the message boxes and the titles of the file dialogs closed unscripted.
    const std::vector<std::string>& unscripted() const { return m_unscripted; }

private:
    void tick() {
        // The next tick is due before answering: an answer may block in a nested modal loop.
        QTimer::singleShot(10, &m_context, [this] { tick(); });
        QWidget* window = finished() ? nullptr : m_steps[m_next].find();
        if (window != nullptr) {
            const Step& step = m_steps[m_next++];
            m_clock.restart();
            step.answer(*window);
        } else if (finished() || m_clock.elapsed() > 10000) {
            if (auto* box = visibleTopLevel<QMessageBox>()) {
                const QString detail = box->informativeText();
                m_unscripted.push_back((detail.isEmpty() ? box->text() : box->text() + '\n' + detail).toStdString());
                box->reject();
            } else if (auto* dialog = visibleTopLevel<QFileDialog>()) {
                m_unscripted.push_back(dialog->windowTitle().toStdString());
                dialog->reject();
            }
        }
    }

    struct Step { std::function<QWidget*()> find; std::function<void(QWidget&)> answer; };

    QObject m_context;
    std::vector<Step> m_steps;
    std::size_t m_next = 0;
    QElapsedTimer m_clock;
    std::vector<std::string> m_unscripted;
};

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
        ASSERT_TRUE(processEventsUntil([&] { return !text(ControlId::Eq1LevelValue).isEmpty(); }));  // the first full repaint
    }

    template <typename T = QWidget>
    T* control(ControlId id) const { return &requireControl<T>(*m_window, id); }
    QString text(ControlId id) const { return control<QLabel>(id)->text(); }
    EqualizerModel& model() const { return m_window->model(); }
    QTimer* timer(TimerId id) const { return m_window->findChild<QTimer*>(QStringLiteral("timer_%1").arg(id)); }
    QPoint centreOf(ControlId id) const { return control(id)->mapTo(m_window.get(), control(id)->rect().center()); }
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
