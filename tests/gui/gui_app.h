#pragma once

#include <chrono>
#include <functional>
#include <utility>

#include <gtest/gtest.h>
#include <QtCore/QElapsedTimer>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>

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

}  // namespace tqm::test
