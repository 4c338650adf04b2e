#pragma once

#include <chrono>
#include <functional>

#include <QtCore/QElapsedTimer>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>

namespace tqm::test {

// The one application object of the GUI tests, on the offscreen platform.
inline QApplication& guiApp() {
    static int s_argc = 1;
    static char s_name[] = "gui_tests";
    static char* s_argv[] = {s_name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication s_app(s_argc, s_argv);
    return s_app;
}

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
