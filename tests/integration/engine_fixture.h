#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/ctl/headless_window.h"
#include "app/engine.h"
#include "protocol/trx_state.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "sim/simulated_transceiver.h"
#include "tests/support/scratch_directory.h"

namespace tqm::test {

inline constexpr std::chrono::milliseconds kLinkTimeout{10000};

// The whole engine against the simulated transceiver, with tqm4700-ctl's headless window
// in the main window's place, its messages handled on the test's thread while a wait
// runs. COM1 is a symlink of the test's own: a pulled adapter's old /dev/pts path, which
// the engine keeps trying, may belong to another test's transceiver by then.
class EngineFixture : public ::testing::Test {
protected:
    void TearDown() override {
        stopEngine();
        if (m_sim) m_sim->stop();
        PortMap().reset();
    }

    void startSim(sim::SimConfig config = {}) {
        config.baud = 38400;
        config.linkPath = m_link.string();
        m_sim = std::make_unique<sim::SimulatedTransceiver>(config);
        ASSERT_TRUE(m_sim->start()) << m_sim->errorText();
    }
    // Starts the engine on COM1 mapped to target (the simulator's link when empty).
    void startEngine(const std::string& target = {}) {
        ASSERT_TRUE(PortMap().setOverride(1, target.empty() ? m_link.string() : target));
        Engine engine;
        engine.initialiseState();
        ASSERT_TRUE(engine.waitMenuListReady(kLinkTimeout));
        Sio_Port().setPortNumber(1);
        Sio_Port().setBaudRate(38400);
        m_window = std::make_unique<HeadlessWindow>();
        ASSERT_TRUE(engine.startLink());
    }
    void stopEngine() {
        EXPECT_TRUE(!m_window || Engine().stop()) << "every engine thread ended";
        m_window.reset();
    }

    // Handles window messages until the predicate holds; false after the timeout.
    bool waitUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout = kLinkTimeout) {
        const auto end = HeadlessWindow::Clock::now() + timeout;
        while (!m_window->runUntil(predicate, std::min(end, HeadlessWindow::Clock::now() + std::chrono::milliseconds(10)))) {
            if (HeadlessWindow::Clock::now() >= end) return false;
        }
        return true;
    }
    void runFor(std::chrono::milliseconds duration) { waitUntil([] { return false; }, duration); }
    bool waitForCommand(const std::string& command, std::size_t n = 1) {
        return waitUntil([&] { return m_sim->monitor().commandCount(command) >= n; });
    }
    bool connected() const { return m_window->model().connected(); }
    // Queued behind the window messages before it, as a click; returns once handled.
    void pressCom() {
        bool pressed = false;
        m_window->post([this, &pressed] {
            m_window->handler().onComAction();
            pressed = true;
        });
        ASSERT_TRUE(waitUntil([&pressed] { return pressed; }));
    }
    // Presses COM and waits until the start-up read has ended.
    void connect() {
        pressCom();
        ASSERT_TRUE(waitUntil([this] { return connected() && m_window->model().pendingReplies() == 0; }));
    }
    bool stateMatchesTransceiver() const {
        Trx_StateGuard state;
        for (int p = 0; p < 27; ++p) {
            const sim::PeAddress at{p / 9, p % 9 / 3, p % 3};
            if (state.getPeq(at.set, at.band, static_cast<PeqParam>(at.param)) != m_sim->radio().peValue(at)) return false;
        }
        return true;
    }
    // The commands the transceiver received since the log was cleared, in order.
    std::vector<std::string> commands() const {
        std::vector<std::string> result;
        for (const auto& entry : m_sim->monitor().log()) {
            if (entry.direction == sim::WireDirection::ToTransceiver) result.push_back(entry.bytes);
        }
        return result;
    }

    ScratchDirectory m_dir;
    std::filesystem::path m_link = m_dir / "radio";
    std::unique_ptr<sim::SimulatedTransceiver> m_sim;
    std::unique_ptr<HeadlessWindow> m_window;
};

}  // namespace tqm::test
