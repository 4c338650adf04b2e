#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <QtCore/QElapsedTimer>
#include <QtCore/QTimer>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QMessageBox>

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

inline ::testing::Environment* const s_guiEnvironment =
    ::testing::AddGlobalTestEnvironment(new GuiAppEnvironment);

// The application object, on the offscreen platform unless another is chosen.
inline QApplication& guiApp() { return GuiAppEnvironment::app(); }

// Runs the event loop until the condition holds or the deadline passes.
inline bool waitUntil(const std::function<bool()>& condition,
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

    template <typename T>
    ModalAnswerer& then(std::function<void(T&)> answer) {
        m_steps.push_back({[] { return static_cast<QWidget*>(visibleTopLevel<T>()); },
                           [answer](QWidget& window) { answer(static_cast<T&>(window)); }});
        return *this;
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

    struct Step {
        std::function<QWidget*()> find;
        std::function<void(QWidget&)> answer;
    };

    QObject m_context;
    std::vector<Step> m_steps;
    std::size_t m_next = 0;
    QElapsedTimer m_clock;
    std::vector<std::string> m_unscripted;
};

}  // namespace tqm::test
